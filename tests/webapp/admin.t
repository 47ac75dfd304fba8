# admin.cgi served as CGI: signing in with the set-up password, its session cookie, and the changes it guards.
use strict;
use warnings;
use FindBin;
use lib "$FindBin::Bin/lib";
use Test::More;
use KestruneCgi;

# A site with two entries, and a signed-in session: returns (cgi folder, cookie header, form token).
sub signed_in_site {
    my $cgi = fresh_site();
    my $password = set_up_site($cgi, 'Admin Test');
    for my $who ('Ann', 'Bob') {
        run_cgi($cgi, 'post.cgi', body => form_body(name => $who, message => "Hello from $who"));
    }
    my $r = run_cgi($cgi, 'admin.cgi', body => form_body(action => 'login', password => $password));
    die "sign-in failed: $r->{status}\n" if $r->{status} != 200;
    my ($cookie) = ($r->{headers}{'set-cookie'}[0] || '') =~ /^([^;]+)/;
    my ($token) = $r->{body} =~ /name="token" value="([0-9a-f]+)"/;
    return ($cgi, $cookie, $token);
}

sub admin {
    my ($cgi, $cookie, %fields) = @_;
    return run_cgi($cgi, 'admin.cgi', cookie => $cookie,
                   %fields ? (body => form_body(map { ($_ => $fields{$_}) } sort keys %fields)) : ());
}

sub names_on_guestbook { [ run_cgi($_[0], 'index.cgi')->{body} =~ m{<header><strong>([^<]*)</strong>}g ] }

subtest 'signing in' => sub {
    my $cgi = fresh_site();
    my $password = set_up_site($cgi);

    my $r = run_cgi($cgi, 'admin.cgi');
    is($r->{status}, 200, 'GET without a session: status');
    like($r->{body}, qr{<input type="password" id="password" name="password"}, 'asks for the password');
    unlike($r->{body}, qr/name="token"/, 'and shows no admin forms');

    my $wrong = run_cgi($cgi, 'admin.cgi', body => form_body(action => 'login', password => 'not it'));
    is($wrong->{status}, 403, 'a wrong password is refused');
    like($wrong->{body}, qr/password is not correct/, 'and says so');
    ok(!$wrong->{headers}{'set-cookie'}, 'without a cookie');

    my $ok = run_cgi($cgi, 'admin.cgi', body => form_body(action => 'login', password => $password),
                     env => { HTTPS => 'on' });
    is($ok->{status}, 200, 'the right password is accepted');
    is($ok->{stderr}, '', 'nothing in the error log');
    my $cookie = $ok->{headers}{'set-cookie'}[0];
    like($cookie, qr{^kestrune_admin=\d+\.[0-9a-f]{64}; Path=/kestrune/cgi/; HttpOnly; SameSite=Strict; Secure$},
         'a signed session cookie limited to the scripts, secure over HTTPS');
    like($ok->{headers}{'cache-control'}[0], qr/no-store/, 'admin pages are not cached');
    my ($pair) = $cookie =~ /^([^;]+)/;
    like(admin($cgi, $pair)->{body}, qr/Entries \(0\)/, 'the cookie opens the administration');
};

# Cookies that must not open the administration.
my @bad_cookies = (
    [ 'none',           sub { undef } ],
    [ 'garbage',        sub { 'kestrune_admin=hello' } ],
    [ 'bad signature',  sub { my $c = $_[0]; $c =~ s/([0-9a-f])$/$1 eq 'a' ? 'b' : 'a'/e; $c } ],
    [ 'later expiry',   sub { my $c = $_[0]; $c =~ s/=(\d+)\./'=' . ($1 + 3600) . '.'/e; $c } ],
    [ 'expired',        sub { require Digest::SHA; my $secret = $_[1];
                              my $t = time - 10; "kestrune_admin=$t." . Digest::SHA::hmac_sha256_hex("session:$t", $secret) } ],
);
for my $case (@bad_cookies) {
    my ($name, $make) = @$case;
    subtest "no session with cookie: $name" => sub {
        my ($cgi, $cookie) = signed_in_site();
        my ($secret) = KestruneCgi::slurp("$cgi/data/site.conf") =~ /^secret = (\w+)$/m;
        my $bad = $make->($cookie, $secret);
        my $r = admin($cgi, $bad);
        like($r->{body}, qr/Administrator password/, 'GET shows the sign-in form');
        unlike($r->{body}, qr/Hello from/, 'and no entries');
        my $del = admin($cgi, $bad, action => 'delete', id => 1, token => 'x');
        is($del->{status}, 403, 'a delete is refused');
        is_deeply(names_on_guestbook($cgi), ['Bob', 'Ann'], 'nothing deleted');
    };
}

subtest 'deleting an entry' => sub {
    my ($cgi, $cookie, $token) = signed_in_site();
    my $page = admin($cgi, $cookie);
    like($page->{body}, qr/Entries \(2\)/, 'lists the entries');
    like($page->{body}, qr{name="id" value="1"}, 'each with a delete form');

    my $r = admin($cgi, $cookie, action => 'delete', id => 1, token => $token);
    is($r->{status}, 200, 'status');
    like($r->{body}, qr/Entry 1 deleted/, 'confirms');
    is_deeply(names_on_guestbook($cgi), ['Bob'], 'the entry is gone from the guestbook');

    my $again = admin($cgi, $cookie, action => 'delete', id => 1, token => $token);
    is($again->{status}, 404, 'deleting it again finds nothing');
    is(admin($cgi, $cookie, action => 'delete', id => '1 or 1=1', token => $token)->{status}, 404, 'a bad id matches nothing');
    is_deeply(names_on_guestbook($cgi), ['Bob'], 'the other entry stays');

    # A delete button from a page shown before the newest entry was deleted and another one added.
    is(admin($cgi, $cookie, action => 'delete', id => 2, token => $token)->{status}, 200, 'the newest entry deleted');
    run_cgi($cgi, 'post.cgi', body => form_body(name => 'Cy', message => 'Newer'));
    is(admin($cgi, $cookie, action => 'delete', id => 2, token => $token)->{status}, 404, 'its id is not given again');
    is_deeply(names_on_guestbook($cgi), ['Cy'], 'so the newer entry survives the stale button');
};

# A signed-in browser can still be tricked into sending a form from another site; the form token stops that.
my @bad_tokens = (
    [ 'missing', undef ],
    [ 'wrong',   '0' x 64 ],
    [ 'the session cookie itself', 'cookie' ],
);
for my $case (@bad_tokens) {
    my ($name, $token) = @$case;
    subtest "changes refused with a $name form token" => sub {
        my ($cgi, $cookie) = signed_in_site();
        ($token = $cookie) =~ s/^[^=]*=// if defined $token && $token eq 'cookie';
        my %fields = (action => 'delete', id => 2, defined $token ? (token => $token) : ());
        my $r = admin($cgi, $cookie, %fields);
        is($r->{status}, 403, 'refused');
        like($r->{body}, qr/nothing was changed/, 'says so');
        is_deeply(names_on_guestbook($cgi), ['Bob', 'Ann'], 'nothing deleted');
        my $t = admin($cgi, $cookie, action => 'title', title => 'Hijacked', defined $token ? (token => $token) : ());
        is($t->{status}, 403, 'a title change is refused too');
        unlike(KestruneCgi::slurp("$cgi/data/site.conf"), qr/Hijacked/, 'and the title is unchanged');
    };
}

subtest 'changing the title' => sub {
    my ($cgi, $cookie, $token) = signed_in_site();
    my $before = KestruneCgi::slurp("$cgi/data/site.conf");
    my $r = admin($cgi, $cookie, action => 'title', title => 'New <Name>', token => $token);
    is($r->{status}, 200, 'status');
    like($r->{body}, qr/title has been changed/, 'confirms');
    like(run_cgi($cgi, 'index.cgi')->{body}, qr{<h1>New &lt;Name&gt;</h1>}, 'the guestbook shows it, escaped');
    my $after = KestruneCgi::slurp("$cgi/data/site.conf");
    my %keep = map { $_ => 1 } qw(password_hash secret created);
    for my $line (grep { /^(\w+) =/ && $keep{$1} } split /\n/, $before) {
        like($after, qr/^\Q$line\E$/m, "keeps $line");
    }
    my $empty = admin($cgi, $cookie, action => 'title', title => ' ', token => $token);
    is($empty->{status}, 400, 'an empty title is refused');
    like(KestruneCgi::slurp("$cgi/data/site.conf"), qr/^site_title = New <Name>$/m, 'and the title is kept');
};

subtest 'signing out' => sub {
    my ($cgi, $cookie, $token) = signed_in_site();
    my $r = admin($cgi, $cookie, action => 'logout', token => $token);
    is($r->{status}, 200, 'status');
    like($r->{body}, qr/You are signed out/, 'confirms');
    like($r->{headers}{'set-cookie'}[0], qr/^kestrune_admin=; Path=\/kestrune\/cgi\/; Max-Age=0/, 'clears the cookie');
};

done_testing;
