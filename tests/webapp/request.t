# Kestrune::Request on its own: how fields and cookies are read from what the web server hands over.
use strict;
use warnings;
use FindBin;
use lib "$FindBin::Bin/lib";
use Test::More;
use KestruneCgi;

use lib source_dir() . '/cgi/lib';
use Kestrune::Request;

# Builds a request from a POST body (or none) on a temporary standard input.
sub request {
    my (%o) = @_;
    local %ENV = (REQUEST_METHOD => defined $o{body} ? 'POST' : 'GET', QUERY_STRING => $o{query},
                  HTTP_COOKIE => $o{cookie});
    if (defined $o{body}) {
        $ENV{CONTENT_LENGTH} = length $o{body};
        $ENV{CONTENT_TYPE} = 'application/x-www-form-urlencoded; charset=UTF-8';
    }
    delete $ENV{$_} for grep { !defined $ENV{$_} } keys %ENV;
    open my $in, '<', \(defined $o{body} ? $o{body} : '') or die;
    local *STDIN = $in;
    return Kestrune::Request->new(max_post_bytes => $o{max});
}

my @fields = (
    [ 'plus and percent escapes',   { query => 'a=1+2%2B3%25' },            { a => '1 2+3%' } ],
    [ 'equals and ampersand in values', { body => 'a=x%3Dy%26z&b=' },       { a => 'x=y&z', b => '' } ],
    [ 'value with a raw equals sign', { query => 'a=b=c' },                 { a => 'b=c' } ],
    [ 'semicolon separators',        { query => 'a=1;b=2' },                 { a => '1', b => '2' } ],
    [ 'first of repeated fields',    { query => 'a=1&a=2' },                 { a => '1' } ],
    [ 'form beats address',          { query => 'a=q&p=2', body => 'a=f' },  { a => 'f', p => '2' } ],
    [ 'a field without a value',     { query => 'flag' },                    { flag => '' } ],
    [ 'bytes kept as bytes',         { body => 'n=%C3%A9%00x' },             { n => "\xc3\xa9\x00x" } ],
    [ 'a lone percent',              { query => 'a=100%' },                  { a => '100%' } ],
);
for my $case (@fields) {
    my ($name, $in, $want) = @$case;
    my $r = request(%$in);
    is($r->error, undef, "$name: read");
    is_deeply({ map { ($_ => $r->param($_)) } keys %$want }, $want, "$name: fields");
}

my $c = request(cookie => 'kestrune_admin=1.ab%3D; other=x=y;  third=3+4; kestrune_admin=second');
is($c->cookie('kestrune_admin'), '1.ab=', 'cookie value decoded, first one wins');
is($c->cookie('other'), 'x=y', 'equals sign inside a cookie value');
is($c->cookie('third'), '3+4', 'extra spaces between cookies; a plus is a plus');

my $big = request(body => 'a=' . ('x' x 2000), max => 1024);
is($big->error->[0], 413, 'a body over the limit is refused');
is($big->param('a'), undef, 'and not read');
is(request(body => 'a=' . ('x' x 1000), max => 1024)->param('a'), 'x' x 1000, 'one under the limit is read');

done_testing;
