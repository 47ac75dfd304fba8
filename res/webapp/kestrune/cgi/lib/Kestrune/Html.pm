# HTML output: escaping, the small template language of templates/, and whole CGI responses.
package Kestrune::Html;

use strict;
use warnings;
use Exporter 'import';

our @EXPORT_OK = qw(escape render respond);

our %STATUS_TEXT = (
    200 => 'OK', 400 => 'Bad Request', 403 => 'Forbidden', 404 => 'Not Found', 405 => 'Method Not Allowed',
    409 => 'Conflict', 411 => 'Length Required', 413 => 'Payload Too Large', 415 => 'Unsupported Media Type',
    500 => 'Internal Server Error', 503 => 'Service Unavailable',
);

my $template_dir;
my %cache;

# Where templates are read from; every script sets this once, from its own location.
sub set_template_dir { $template_dir = $_[0]; %cache = (); }

sub escape {
    my ($s) = @_;
    return '' if !defined $s;
    $s =~ s/&/&amp;/g;
    $s =~ s/</&lt;/g;
    $s =~ s/>/&gt;/g;
    $s =~ s/"/&quot;/g;
    $s =~ s/'/&#39;/g;
    return $s;
}

# Fills a template: {{name}} is replaced by the escaped value, {{{name}}} by the value as it is (only for
# HTML that was itself rendered here). A field the template names but the caller did not give is a fault
# in the program, not in the input, and dies.
sub render {
    my ($name, $vars) = @_;
    die "template folder not set\n" if !defined $template_dir;
    die "bad template name $name\n" if $name !~ m{^[a-z0-9_]+(?:/[a-z0-9_]+)*\.html$};
    if (!exists $cache{$name}) {
        open my $fh, '<', "$template_dir/$name" or die "cannot read template $name: $!\n";
        local $/;
        $cache{$name} = <$fh>;
        close $fh;
    }
    my $text = $cache{$name};
    $text =~ s/\{\{(\{?)\s*(\w+)\s*\}?\}\}/_field($name, $vars, $2, $1 ne '')/ge;
    return $text;
}

sub _field {
    my ($template, $vars, $key, $raw) = @_;
    die "template $template uses $key, which was not given\n" if !exists $vars->{$key};
    return $raw ? (defined $vars->{$key} ? $vars->{$key} : '') : escape($vars->{$key});
}

# Prints a complete response: the page's body inside templates/layout.html.
#   status  HTTP status (200)     title    the page's title
#   body    HTML of the content   site     the site's name for the header
#   headers extra header lines, e.g. cookies
sub respond {
    my (%p) = @_;
    my $status = $p{status} || 200;
    my $html = render('layout.html', {
        title   => $p{title},
        site    => defined $p{site} ? $p{site} : 'Kestrune',
        content => $p{body},
    });
    binmode STDOUT;
    print "Status: $status " . ($STATUS_TEXT{$status} || 'Error') . "\r\n";
    print "$_\r\n" for @{ $p{headers} || [] };
    print "Content-Type: text/html; charset=utf-8\r\n";
    print "Cache-Control: no-store\r\n" if $status != 200 || $p{no_store};
    print "\r\n";
    print $html if ($ENV{REQUEST_METHOD} || 'GET') ne 'HEAD';
    return;
}

1;
