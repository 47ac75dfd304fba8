#!/usr/bin/perl
# Kestrune's news feed (RSS 2.0) of the latest guestbook entries.
use strict;
use warnings;
use FindBin ();
use lib "$FindBin::Bin/lib";
use Kestrune::App;
use Kestrune::Html qw(escape);
use Kestrune::Store;

Kestrune::App::run($FindBin::Bin, sub {
    my ($req, $settings, $dir) = @_;
    return Kestrune::App::not_configured_page($settings) if !$settings->{configured};

    # Feed readers need full addresses; without a host name to build them from, they stay relative.
    my $host = $ENV{HTTP_HOST} || $ENV{SERVER_NAME} || '';
    $host = '' if $host !~ /^[A-Za-z0-9.\-]+(?::\d+)?$/;
    my $scheme = ($ENV{HTTPS} && lc $ENV{HTTPS} ne 'off') ? 'https' : 'http';
    my $base = ($host ne '' ? "$scheme://$host" : '') . Kestrune::App::script_folder();

    my @entries = Kestrune::Store->new("$dir/data")->entries;
    splice @entries, $settings->{feed_entries} if @entries > $settings->{feed_entries};
    my $items = join '', map {
        my $link = "${base}index.cgi#entry-$_->{id}";
        "<item>\n<title>" . escape($_->{name}) . "</title>\n<link>" . escape($link) . "</link>\n"
            . '<guid isPermaLink="false">' . escape("kestrune-$_->{id}-$_->{time}") . "</guid>\n"
            . '<pubDate>' . rfc822_date($_->{time}) . "</pubDate>\n"
            . '<description>' . escape(Kestrune::App::message_html($_->{message})) . "</description>\n</item>\n"
    } @entries;

    binmode STDOUT;
    print "Status: 200 OK\r\nContent-Type: application/rss+xml; charset=utf-8\r\n\r\n";
    return if $req->method eq 'HEAD';
    print qq{<?xml version="1.0" encoding="utf-8"?>\n<rss version="2.0">\n<channel>\n},
          '<title>', escape($settings->{site_title}), "</title>\n",
          '<link>', escape("${base}index.cgi"), "</link>\n",
          '<description>', escape("The latest entries of $settings->{site_title}"), "</description>\n",
          $items, "</channel>\n</rss>\n";
});

sub rfc822_date {
    my @t = gmtime($_[0]);
    my @days = qw(Sun Mon Tue Wed Thu Fri Sat);
    my @months = qw(Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec);
    return sprintf('%s, %02d %s %04d %02d:%02d:%02d GMT', $days[$t[6]], $t[3], $months[$t[4]], $t[5] + 1900, $t[2], $t[1], $t[0]);
}
