# What every page script shares: reading the request and settings, the error page, text rules and dates.
package Kestrune::App;

use strict;
use warnings;
use Kestrune::Html;
use Kestrune::Request;
use Kestrune::Settings;

# Runs one request: $handler gets the request, the settings and the scripts' folder. A request that
# cannot be read is answered here; anything that dies ends as a plain error page, with the reason in
# the web server's error log rather than in front of the visitor (set-up, which has no visitors yet and
# whose user needs the reason, passes show_errors).
sub run {
    my ($dir, $handler, %opt) = @_;
    my $ok = eval {
        Kestrune::Html::set_template_dir("$dir/templates");
        my $settings = Kestrune::Settings::load($dir);
        my $req = Kestrune::Request->new(max_post_bytes => $settings->{max_post_bytes});
        if (my $err = $req->error) {
            message_page($settings, $err->[0], 'Request refused', 'problem', $err->[1], 'index.cgi', 'Back to the guestbook');
        }
        else {
            $handler->($req, $settings, $dir);
        }
        1;
    };
    if (!$ok) {
        my $err = $@;
        $err =~ s/\s+\z//;
        print STDERR "kestrune: $err\n";
        binmode STDOUT;
        print "Status: 500 Internal Server Error\r\nContent-Type: text/html; charset=utf-8\r\n\r\n",
              "<!DOCTYPE html>\n<html><head><title>Error</title></head><body><h1>Something went wrong</h1>",
              "<p>Kestrune could not answer this request. ",
              ($opt{show_errors} ? 'The reason: ' . Kestrune::Html::escape($err) : "The web server's error log has the details."),
              "</p></body></html>\n";
    }
    return;
}

sub message_page {
    my ($settings, $status, $title, $kind, $text, $link, $link_text) = @_;
    Kestrune::Html::respond(
        status => $status, title => $title, site => $settings->{site_title},
        body => Kestrune::Html::render('message.html',
            { kind => $kind, text => $text, link => $link, link_text => $link_text }),
    );
    return;
}

sub not_configured_page {
    my ($settings) = @_;
    message_page($settings, 503, 'Not set up yet', 'problem', 'This guestbook has not been set up yet.',
                 'setup.cgi', 'Run set-up');
    return;
}

# Checks and tidies a text typed into a form. Returns ($text, undef) or (undef, $reason). Single-line texts
# have their runs of white space made one space; multi-line ones keep their line breaks, as "\n".
sub clean_text {
    my ($text, $label, $max, $multiline) = @_;
    $text = '' if !defined $text;
    $text =~ s/\r\n?/\n/g;
    if ($multiline) {
        $text =~ s/[ \t]+$//mg;
        $text =~ s/^\n+|\s+\z//g;
    }
    else {
        $text =~ s/\s+/ /g;
        $text =~ s/^ | \z//g;
    }
    my $chars = $text;
    return (undef, "$label is empty.") if $text eq '';
    return (undef, "$label is not valid UTF-8 text.") if !utf8::decode($chars);
    return (undef, "$label may be at most $max characters long.") if length($chars) > $max;
    return (undef, "$label may not hold control characters.") if $text =~ /[\x00-\x08\x0b-\x1f\x7f]/;
    return ($text, undef);
}

# A message as HTML: escaped, with its line breaks kept.
sub message_html {
    my $html = Kestrune::Html::escape($_[0]);
    $html =~ s/\n/<br>\n/g;
    return $html;
}

sub date_text {
    my @t = gmtime($_[0]);
    return sprintf('%04d-%02d-%02d %02d:%02d UTC', $t[5] + 1900, $t[4] + 1, $t[3], $t[2], $t[1]);
}

sub iso_time {
    my @t = gmtime($_[0]);
    return sprintf('%04d-%02d-%02dT%02d:%02d:%02dZ', $t[5] + 1900, $t[4] + 1, $t[3], $t[2], $t[1], $t[0]);
}

# The folder part of the script's address ("/guestbook/cgi/"), for cookies and links.
sub script_folder {
    my $name = defined $ENV{SCRIPT_NAME} ? $ENV{SCRIPT_NAME} : '';
    return $name =~ m{^(/(?:[^/]*/)*)} ? $1 : '/';
}

1;
