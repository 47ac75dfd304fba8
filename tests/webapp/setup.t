# setup.cgi served as CGI: its environment checks, the set-up form, the one-time configuration it writes.
use strict;
use warnings;
use FindBin;
use lib "$FindBin::Bin/lib";
use File::Path qw(remove_tree);
use Test::More;
use KestruneCgi;

my @CHECKS = ('Perl version', 'Scripts executable', 'Data folder writable', 'Libraries', 'Application files');

# The status cell of each check row, by check name.
sub check_rows {
    my ($html) = @_;
    my %rows;
    while ($html =~ m{<tr class="(\w+)">.*?<th>([^<]+)</th><td>(OK|PROBLEM)</td><td>(.*?)</td></tr>}g) {
        $rows{$2} = { class => $1, status => $3, detail => $4 };
    }
    return \%rows;
}

sub valid_form { form_body(title => 'My Guestbook', password => 'secret-pass', password2 => 'secret-pass') }

subtest 'a fresh copy passes every check and offers the form' => sub {
    my $cgi = fresh_site();
    my $r = run_cgi($cgi, 'setup.cgi');
    is($r->{status}, 200, 'status');
    is($r->{headers}{'content-type'}[0], 'text/html; charset=utf-8', 'an HTML page');
    is($r->{stderr}, '', 'nothing in the error log');
    my $rows = check_rows($r->{body});
    is_deeply([sort keys %$rows], [sort @CHECKS], 'every check is shown');
    is($rows->{$_}{status}, 'OK', "$_: OK") for @CHECKS;
    like($rows->{'Perl version'}{detail}, qr/^Perl 5\.\d+\.\d+$/, 'the Perl version is named');
    like($rows->{'Scripts executable'}{detail}, qr/\bsetup\.cgi\b/, 'the scripts are listed');
    like($r->{body}, qr{<form method="post" action="setup\.cgi"}, 'the set-up form');
    ok(!-e "$cgi/data/site.conf", 'a GET writes no configuration');
};

# Each broken environment must show up as a problem on its own row, hide the form, and make a POST fail.
my @broken = (
    { name => 'data folder missing', check => 'Data folder writable', detail => qr/is missing/,
      break => sub { remove_tree("$_[0]/data") } },
    { name => 'data folder is a file', check => 'Data folder writable', detail => qr/is not a folder/,
      break => sub { remove_tree("$_[0]/data"); open my $fh, '>', "$_[0]/data" or die; close $fh } },
    { name => 'a script not executable', check => 'Scripts executable', detail => qr/Not executable: index\.cgi\./,
      break => sub { chmod 0644, "$_[0]/index.cgi" } },
    { name => 'a library missing', check => 'Libraries', detail => qr/Kestrune::Store/,
      break => sub { unlink "$_[0]/lib/Kestrune/Store.pm" } },
    { name => 'a library that does not compile', check => 'Libraries', detail => qr/Kestrune::Auth \(Missing right curly/,
      break => sub { open my $fh, '>>', "$_[0]/lib/Kestrune/Auth.pm" or die; print {$fh} "sub {\n"; close $fh } },
    { name => 'settings file missing', check => 'Application files', detail => qr{config/kestrune\.conf},
      break => sub { unlink "$_[0]/config/kestrune.conf" } },
);
if ($> != 0) {
    # Root may write anywhere, so only an ordinary user can see a read-only folder refused.
    push @broken, { name => 'data folder read-only', check => 'Data folder writable', detail => qr/is not writable/,
                    break => sub { chmod 0555, "$_[0]/data" } };
}

for my $case (@broken) {
    subtest "problem: $case->{name}" => sub {
        my $cgi = fresh_site();
        $case->{break}->($cgi);
        my $r = run_cgi($cgi, 'setup.cgi');
        is($r->{status}, 200, 'the page is still shown');
        my $rows = check_rows($r->{body});
        is($rows->{ $case->{check} }{status}, 'PROBLEM', "$case->{check} reports a problem");
        is($rows->{ $case->{check} }{class}, 'problem', 'and is marked as one');
        like($rows->{ $case->{check} }{detail}, $case->{detail}, 'the detail says what is wrong');
        is(scalar(grep { $rows->{$_}{status} eq 'PROBLEM' } keys %$rows), 1, 'no other check fails');
        unlike($r->{body}, qr{<form method="post" action="setup\.cgi"}, 'no set-up form');

        my $post = run_cgi($cgi, 'setup.cgi', body => valid_form());
        is($post->{status}, 400, 'a POST is refused');
        like($post->{body}, qr/cannot finish until every check is OK/, 'and says why');
        ok(!-e "$cgi/data/site.conf", 'no configuration written');
        chmod 0755, "$cgi/data" if -d "$cgi/data";
    };
}

subtest 'the check function with stubbed facts' => sub {
    my $cgi = fresh_site();
    require lib;
    lib->import("$cgi/lib");
    require Kestrune::Setup;
    my %by = map { $_->{name} => $_ } Kestrune::Setup::checks(app_dir => $cgi, perl_version => 5.008009,
                                                               modules => ['Kestrune::Html', 'No::Such::Module']);
    ok(!$by{'Perl version'}{ok}, 'Perl 5.8 is too old');
    like($by{'Perl version'}{detail}, qr/Perl 5\.8\.9 is too old/, 'and is named');
    ok(!$by{Libraries}{ok}, 'a module that is not installed fails');
    like($by{Libraries}{detail}, qr/No::Such::Module/, 'by name');
    unlike($by{Libraries}{detail}, qr/Kestrune::Html/, 'the loadable one is not blamed');
    my %ok = map { $_->{name} => $_ } Kestrune::Setup::checks(app_dir => $cgi, perl_version => 5.010000);
    ok($ok{'Perl version'}{ok}, 'Perl 5.10 is enough');
    is(Kestrune::Setup::data_problem("$cgi/no-such"), 'is missing', 'missing folder');
    is(Kestrune::Setup::data_problem("$cgi/setup.cgi"), 'is not a folder', 'a file is not a folder');
    is(Kestrune::Setup::data_problem("$cgi/data"), '', 'the data folder is writable');
    opendir my $dh, "$cgi/data" or die;
    is_deeply([grep { /write-test/ } readdir $dh], [], 'the probe file is removed');
};

subtest 'without its libraries, setup.cgi still answers with the problem' => sub {
    my $cgi = fresh_site();
    unlink "$cgi/lib/Kestrune/Setup.pm" or die;
    my $r = run_cgi($cgi, 'setup.cgi');
    is($r->{status}, 500, 'status');
    like($r->{body}, qr/PROBLEM: Kestrune's libraries could not be loaded/, 'says so');
    like($r->{body}, qr{Can't locate Kestrune/Setup\.pm}, 'with the reason');
    unlike($r->{body}, qr/<pre>[^<]*<(?!\/pre>)/, 'the reason is escaped');
};

subtest 'POST completes set-up once' => sub {
    my $cgi = fresh_site();
    my $r = run_cgi($cgi, 'setup.cgi', body => valid_form());
    is($r->{status}, 200, 'status');
    is($r->{stderr}, '', 'nothing in the error log');
    like($r->{body}, qr/Set-up complete/, 'answers "Set-up complete"');
    like($r->{body}, qr{<a href="index\.cgi">}, 'links to the guestbook');

    my $conf = KestruneCgi::slurp("$cgi/data/site.conf");
    like($conf, qr/^site_title = My Guestbook$/m, 'the title is stored');
    unlike($conf, qr/secret-pass/, 'the password is not stored as typed');
    my ($hash) = $conf =~ /^password_hash = (\S+)$/m;
    like($hash, qr/^pbkdf2-sha256\$\d+\$[0-9a-f]{32}\$[0-9a-f]{64}$/, 'but as a salted hash');
    like($conf, qr/^secret = [0-9a-f]{64}$/m, 'with a session secret');
    require lib;
    lib->import("$cgi/lib");
    require Kestrune::Auth;
    ok(Kestrune::Auth::check_password('secret-pass', $hash), 'the hash matches the password');
    ok(!Kestrune::Auth::check_password('secret-pasS', $hash), 'and no other');
    opendir my $dh, "$cgi/data" or die;
    is_deeply([sort grep { /^site\.conf/ } readdir $dh], ['site.conf'], 'no temporary file is left beside it');

    my $again = run_cgi($cgi, 'setup.cgi');
    is($again->{status}, 200, 'a later GET is answered');
    like($again->{body}, qr/already been set up/, 'with the refusal');
    like($again->{body}, qr{delete the file <code>data/site\.conf</code>}, 'which says how to run it again');
    unlike($again->{body}, qr/<form/, 'and no form');

    my $second = run_cgi($cgi, 'setup.cgi',
                         body => form_body(title => 'Taken Over', password => 'other-pass', password2 => 'other-pass'));
    is($second->{status}, 409, 'a second POST is refused');
    is(KestruneCgi::slurp("$cgi/data/site.conf"), $conf, 'and changes nothing');

    unlink "$cgi/data/site.conf" or die;
    like(run_cgi($cgi, 'setup.cgi')->{body}, qr{<form method="post" action="setup\.cgi"},
         'once the configuration is removed, set-up runs again');
};

# Bad input is refused with a reason, writes nothing, and comes back escaped.
my $long = 'x' x 81;
my @invalid = (
    [ 'empty title',          { title => '   ' },                          qr/give your site a title/ ],
    [ 'title too long',       { title => $long },                          qr/at most 80 characters/ ],
    [ 'title with a control', { title => "a\x01b" },                       qr/control characters/ ],
    [ 'title not UTF-8',      { title => "caf\xe9" },                      qr/not valid UTF-8/ ],
    [ 'password too short',   { password => 'short', password2 => 'short' }, qr/at least 8 characters/ ],
    [ 'passwords differ',     { password2 => 'secret-pasX' },              qr/do not match/ ],
    [ 'password missing',     { password => undef, password2 => undef },   qr/at least 8 characters/ ],
);
for my $case (@invalid) {
    my ($name, $change, $reason) = @$case;
    subtest "invalid: $name" => sub {
        my $cgi = fresh_site();
        my %form = (title => 'Fine Title', password => 'secret-pass', password2 => 'secret-pass', %$change);
        my $r = run_cgi($cgi, 'setup.cgi', body => form_body(map { ($_ => $form{$_}) } grep { defined $form{$_} } sort keys %form));
        is($r->{status}, 400, 'refused');
        like($r->{body}, $reason, 'with the reason');
        like($r->{body}, qr{<form method="post" action="setup\.cgi"}, 'the form is offered again');
        unlike($r->{body}, qr/secret-pas/, 'the password is never sent back');
        ok(!-e "$cgi/data/site.conf", 'nothing written');
    };
}

subtest 'a hostile title is echoed escaped' => sub {
    my $cgi = fresh_site();
    my $title = q{"><script>alert('x')</script>&};
    my $r = run_cgi($cgi, 'setup.cgi', body => form_body(title => $title, password => 'short', password2 => 'short'));
    is($r->{status}, 400, 'refused for the password');
    like($r->{body}, qr{value="&quot;&gt;&lt;script&gt;alert\(&#39;x&#39;\)&lt;/script&gt;&amp;"}, 'the title is escaped in the form');
    unlike($r->{body}, qr/<script/, 'no markup gets through');

    my $ok = run_cgi($cgi, 'setup.cgi', body => form_body(title => $title, password => 'long enough', password2 => 'long enough'));
    is($ok->{status}, 200, 'accepted with a good password');
    unlike($ok->{body}, qr/<script/, 'the completion page escapes it too');
    like(run_cgi($cgi, 'index.cgi')->{body}, qr{<title>&quot;&gt;&lt;script&gt;}, 'and so does the guestbook');
};

subtest 'a title cannot add lines to the configuration' => sub {
    my $cgi = fresh_site();
    my $r = run_cgi($cgi, 'setup.cgi',
                    body => form_body(title => "Site\r\nsecret = 00\npassword_hash = x", password => 'long enough', password2 => 'long enough'));
    is($r->{status}, 200, 'accepted, as one line');
    my $conf = KestruneCgi::slurp("$cgi/data/site.conf");
    like($conf, qr/^site_title = Site secret = 00 password_hash = x$/m, 'the line breaks became spaces');
    is(scalar(() = $conf =~ /^secret = /mg), 1, 'one secret');
    like($conf, qr/^secret = [0-9a-f]{64}$/m, 'the generated one');
    like($conf, qr/^password_hash = pbkdf2-sha256\$/m, 'and the real password hash');
};

# Requests that are refused before any field is looked at.
my @refused = (
    [ 'a form larger than allowed', { body => 'title=' . ('a' x 20000) }, 413 ],
    [ 'a multipart upload', { body => valid_form(), content_type => 'multipart/form-data; boundary=x' }, 415 ],
    [ 'no length', { body => valid_form(), content_length => 'lots' }, 411 ],
    [ 'a body shorter than announced', { body => valid_form(), content_length => length(valid_form()) + 10 }, 400 ],
    [ 'an unknown method', { method => 'DELETE' }, 405 ],
);
for my $case (@refused) {
    my ($name, $opts, $status) = @$case;
    subtest "refused: $name" => sub {
        my $cgi = fresh_site();
        my $r = run_cgi($cgi, 'setup.cgi', %$opts);
        is($r->{status}, $status, "status $status");
        is($r->{headers}{'content-type'}[0], 'text/html; charset=utf-8', 'still an HTML page');
        ok(!-e "$cgi/data/site.conf", 'nothing written');
    };
}

done_testing;
