# The visitors' side served as CGI: the guestbook page, signing it with post.cgi, and the news feed.
use strict;
use warnings;
use FindBin;
use lib "$FindBin::Bin/lib";
use Test::More;
use KestruneCgi;

sub sign {
    my ($cgi, %fields) = @_;
    return run_cgi($cgi, 'post.cgi', body => form_body(map { ($_ => $fields{$_}) } sort keys %fields));
}

# Names of the entries shown on a guestbook page, in page order.
sub shown_names { [ $_[0] =~ m{<header><strong>([^<]*)</strong>}g ] }

subtest 'before set-up every page points to setup.cgi' => sub {
    my $cgi = fresh_site();
    for my $script (qw(index.cgi post.cgi admin.cgi feed.cgi)) {
        my $r = run_cgi($cgi, $script);
        is($r->{status}, 503, "$script: status");
        like($r->{body}, qr{<a href="setup\.cgi">Run set-up</a>}, "$script: links to set-up");
    }
    my $r = sign($cgi, name => 'Early', message => 'Too soon');
    is($r->{status}, 503, 'signing is refused');
    ok(!-e "$cgi/data/entries.txt", 'and stores nothing');
};

subtest 'an empty guestbook' => sub {
    my $cgi = fresh_site();
    set_up_site($cgi, 'Kestrel Lodge');
    my $r = run_cgi($cgi, 'index.cgi');
    is($r->{status}, 200, 'status');
    is($r->{stderr}, '', 'nothing in the error log');
    like($r->{body}, qr{<title>Kestrel Lodge - Kestrel Lodge</title>}, 'the site title from set-up');
    like($r->{body}, qr/No entries yet/, 'says there are no entries');
    like($r->{body}, qr{<img src="images/logo\.png"}, 'shows the logo from the images folder');
    my $form = run_cgi($cgi, 'post.cgi');
    is($form->{status}, 200, 'the form is shown');
    like($form->{body}, qr{<form method="post" action="post\.cgi"}, 'posting to post.cgi');
};

subtest 'signing adds an entry that the guestbook shows, escaped, newest first' => sub {
    my $cgi = fresh_site();
    set_up_site($cgi);
    my $r = sign($cgi, name => 'Ann <b>', message => "First line\r\nsecond & <i>last</i>");
    is($r->{status}, 200, 'status');
    is($r->{stderr}, '', 'nothing in the error log');
    like($r->{body}, qr/Your entry has been added/, 'thanks the visitor');
    is(sign($cgi, name => "Bj\xc3\xb6rn", message => "Tab\there, 100% sure")->{status}, 200, 'a second entry');

    my $page = run_cgi($cgi, 'index.cgi')->{body};
    is_deeply(shown_names($page), ["Bj\xc3\xb6rn", 'Ann &lt;b&gt;'], 'both shown, newest first, names escaped');
    like($page, qr{<p>First line<br>\nsecond &amp; &lt;i&gt;last&lt;/i&gt;</p>}, 'line breaks kept, markup escaped');
    like($page, qr{<p>Tab\there, 100% sure</p>}, 'tabs and percent signs survive storage');
    like($page, qr/2 entries/, 'counted');
    unlike($page, qr{<b>|<i>}, 'no visitor markup gets through');
};

# Bad input is refused with the reason, stores nothing, and the typed text comes back escaped.
my @invalid = (
    [ 'name missing',       { message => 'hello' },                        qr/Your name is empty/ ],
    [ 'name only spaces',   { name => "  \t ", message => 'hello' },       qr/Your name is empty/ ],
    [ 'message missing',    { name => '<Ann>' },                            qr/Your message is empty/ ],
    [ 'name too long',      { name => 'n' x 61, message => 'hello' },      qr/Your name may be at most 60 characters/ ],
    [ 'message too long',   { name => '<Ann>', message => 'm' x 2001 },    qr/Your message may be at most 2000 characters/ ],
    [ 'control character',  { name => '<Ann>', message => "bell\x07" },    qr/may not hold control characters/ ],
    [ 'not UTF-8',          { name => "Ren\xe9", message => 'hello' },     qr/Your name is not valid UTF-8/ ],
);
for my $case (@invalid) {
    my ($name, $fields, $reason) = @$case;
    subtest "invalid entry: $name" => sub {
        my $cgi = fresh_site();
        set_up_site($cgi);
        my $r = sign($cgi, %$fields);
        is($r->{status}, 400, 'refused');
        like($r->{body}, $reason, 'with the reason');
        like($r->{body}, qr{value="&lt;Ann&gt;"}, 'the name comes back escaped') if ($fields->{name} || '') eq '<Ann>';
        unlike($r->{body}, qr/<Ann>/, 'never raw');
        like(run_cgi($cgi, 'index.cgi')->{body}, qr/No entries yet/, 'nothing stored');
    };
}

subtest 'multi-byte names are measured in characters' => sub {
    my $cgi = fresh_site();
    set_up_site($cgi);
    is(sign($cgi, name => "\xc3\xa9" x 60, message => 'sixty letters of two bytes each')->{status}, 200, '60 characters fit');
};

subtest 'the hidden trap field keeps robots out' => sub {
    my $cgi = fresh_site();
    set_up_site($cgi);
    my $r = sign($cgi, name => 'Robot', message => 'Buy now', website => 'http://spam.example');
    is($r->{status}, 200, 'the robot is thanked');
    like(run_cgi($cgi, 'index.cgi')->{body}, qr/No entries yet/, 'but nothing is stored');
};

subtest 'paging follows entries_per_page' => sub {
    my $cgi = fresh_site();
    set_up_site($cgi);
    open my $fh, '>>', "$cgi/config/kestrune.conf" or die;
    print {$fh} "entries_per_page = 2\n";
    close $fh;
    sign($cgi, name => "Visitor $_", message => "Entry $_") for 1 .. 5;
    my %pages = (
        ''          => ['Visitor 5', 'Visitor 4'],
        'page=2'    => ['Visitor 3', 'Visitor 2'],
        'page=3'    => ['Visitor 1'],
        'page=99'   => ['Visitor 1'],
        'page=abc'  => ['Visitor 5', 'Visitor 4'],
        'page=0'    => ['Visitor 5', 'Visitor 4'],
    );
    for my $query (sort keys %pages) {
        my $r = run_cgi($cgi, 'index.cgi', query => $query);
        is($r->{status}, 200, "?$query: status");
        is_deeply(shown_names($r->{body}), $pages{$query}, "?$query: entries shown");
    }
    my $middle = run_cgi($cgi, 'index.cgi', query => 'page=2')->{body};
    like($middle, qr{href="index\.cgi\?page=1" rel="prev"}, 'links to newer entries');
    like($middle, qr{href="index\.cgi\?page=3" rel="next"}, 'and to older ones');
    like($middle, qr/Page 2 of 3/, 'and says where it is');
};

subtest 'a setting outside its range falls back to the default' => sub {
    my $cgi = fresh_site();
    set_up_site($cgi);
    open my $fh, '>>', "$cgi/config/kestrune.conf" or die;
    print {$fh} "entries_per_page = 0\n";
    close $fh;
    sign($cgi, name => "Visitor $_", message => 'hi') for 1 .. 3;
    my $r = run_cgi($cgi, 'index.cgi');
    is($r->{status}, 200, 'status');
    is(scalar @{ shown_names($r->{body}) }, 3, 'all three on the first page');
};

subtest 'the news feed' => sub {
    my $cgi = fresh_site();
    set_up_site($cgi, 'Feed & Co');
    sign($cgi, name => 'Ann <b>', message => "Hello\nthere & <you>");
    sign($cgi, name => 'Bob', message => 'Second');
    my $r = run_cgi($cgi, 'feed.cgi');
    is($r->{status}, 200, 'status');
    is($r->{headers}{'content-type'}[0], 'application/rss+xml; charset=utf-8', 'an RSS document');
    like($r->{body}, qr{\A<\?xml version="1\.0" encoding="utf-8"\?>\n<rss version="2\.0">}, 'starts as RSS 2.0');
    like($r->{body}, qr{<title>Feed &amp; Co</title>}, 'the channel is the site');
    my @titles = $r->{body} =~ m{<item>\n<title>([^<]*)</title>}g;
    is_deeply(\@titles, ['Bob', 'Ann &lt;b&gt;'], 'the entries, newest first, escaped');
    like($r->{body}, qr{<link>http://www\.example\.com/kestrune/cgi/index\.cgi#entry-1</link>}, 'with full addresses');
    like($r->{body}, qr{<description>Hello&lt;br&gt;\nthere &amp;amp; &amp;lt;you&amp;gt;</description>},
         'descriptions carry escaped HTML');
    like($r->{body}, qr{<pubDate>\w{3}, \d\d \w{3} \d{4} \d\d:\d\d:\d\d GMT</pubDate>}, 'dates in RFC 822 form');
    unlike(run_cgi($cgi, 'feed.cgi', env => { HTTP_HOST => 'evil"><x', SERVER_NAME => undef })->{body}, qr/evil/,
           'a malformed host name is not used');
};

done_testing;
