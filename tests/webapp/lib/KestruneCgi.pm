# Test helper: a fresh copy of the Kestrune web application, and its scripts run the way a web server runs CGI.
package KestruneCgi;

use strict;
use warnings;
use Exporter 'import';
use File::Copy qw(copy);
use File::Find qw(find);
use File::Path qw(make_path);
use File::Temp qw(tempdir);
use Test::More;

our @EXPORT = qw(source_dir fresh_site run_cgi form_body set_up_site);

sub source_dir {
    my $dir = $ENV{KESTRUNE_WEBAPP_DIR};
    if (!defined $dir) {
        require FindBin;
        $dir = "$FindBin::Bin/../../res/webapp";
    }
    die "no web application at $dir/kestrune\n" if !-d "$dir/kestrune";
    return "$dir/kestrune";
}

# Copies the application into a new temporary folder, with the modes the installer leaves on a server
# (scripts 755, everything else 644, folders 755). Returns the path of the copy's cgi folder.
sub fresh_site {
    my $src = source_dir();
    my $root = tempdir('kestrune-t-XXXXXX', TMPDIR => 1, CLEANUP => 1);
    my $dst = "$root/kestrune";
    find({ no_chdir => 1, wanted => sub {
        my $rel = substr($File::Find::name, length $src);
        my $to = "$dst$rel";
        if (-d $File::Find::name) {
            make_path($to);
            chmod 0755, $to;
        }
        else {
            copy($File::Find::name, $to) or die "cannot copy $File::Find::name: $!\n";
            chmod($to =~ /\.cgi\z/ ? 0755 : 0644, $to);
        }
    } }, $src);
    return "$dst/cgi";
}

sub form_body {
    my (@pairs) = @_;
    my @parts;
    while (my ($k, $v) = splice @pairs, 0, 2) {
        for ($k, $v) { s/([^A-Za-z0-9\-_.~ ])/sprintf('%%%02X', ord($1))/ge; tr/ /+/; }
        push @parts, "$k=$v";
    }
    return join '&', @parts;
}

# Runs a script of the copy as a web server would: by its own "#!" line, from its folder, with the CGI
# variables in a clean environment and a POST body on standard input. Options: method, query, body,
# content_type, content_length (defaults to the body's), cookie, env (more variables).
# Returns { status, headers => { lower-case name => [values] }, body, stderr }.
sub run_cgi {
    my ($cgi_dir, $script, %o) = @_;
    my $method = $o{method} || (defined $o{body} ? 'POST' : 'GET');
    my %env = (
        PATH              => '/usr/bin:/bin',
        GATEWAY_INTERFACE => 'CGI/1.1',
        SERVER_PROTOCOL   => 'HTTP/1.1',
        SERVER_SOFTWARE   => 'KestruneTest/1.0',
        SERVER_NAME       => 'www.example.com',
        SERVER_PORT       => 80,
        HTTP_HOST         => 'www.example.com',
        REMOTE_ADDR       => '192.0.2.10',
        REQUEST_METHOD    => $method,
        QUERY_STRING      => defined $o{query} ? $o{query} : '',
        SCRIPT_NAME       => "/kestrune/cgi/$script",
        SCRIPT_FILENAME   => "$cgi_dir/$script",
        REQUEST_URI       => "/kestrune/cgi/$script" . (defined $o{query} && $o{query} ne '' ? "?$o{query}" : ''),
    );
    if (defined $o{body}) {
        $env{CONTENT_LENGTH} = defined $o{content_length} ? $o{content_length} : length $o{body};
        $env{CONTENT_TYPE} = defined $o{content_type} ? $o{content_type} : 'application/x-www-form-urlencoded';
    }
    $env{HTTP_COOKIE} = $o{cookie} if defined $o{cookie};
    %env = (%env, %{ $o{env} || {} });
    delete $env{$_} for grep { !defined $env{$_} } keys %env;

    my $tmp = tempdir(CLEANUP => 1);
    open my $in, '>:raw', "$tmp/in" or die $!;
    print {$in} defined $o{body} ? $o{body} : '';
    close $in;

    my $pid = fork;
    die "fork: $!\n" if !defined $pid;
    if (!$pid) {
        %ENV = %env;
        chdir $cgi_dir or die "chdir $cgi_dir: $!\n";
        open STDIN, '<', "$tmp/in" or die $!;
        open STDOUT, '>', "$tmp/out" or die $!;
        open STDERR, '>', "$tmp/err" or die $!;
        exec "./$script" or die "exec $script: $!\n";
    }
    waitpid $pid, 0;
    my $exit = $? >> 8;
    my $out = slurp("$tmp/out");
    my $err = slurp("$tmp/err");

    my ($head, $body) = split /\r?\n\r?\n/, $out, 2;
    my %headers;
    for my $line (split /\r?\n/, defined $head ? $head : '') {
        push @{ $headers{ lc $1 } }, $2 if $line =~ /^([A-Za-z0-9-]+):\s*(.*)$/;
    }
    my ($status) = ($headers{status} && $headers{status}[0] =~ /^(\d{3})/) ? ($1) : (200);
    return { status => $status, headers => \%headers, body => defined $body ? $body : '', stderr => $err,
             exit => $exit, raw => $out };
}

sub slurp {
    open my $fh, '<:raw', $_[0] or return '';
    local $/;
    my $s = <$fh>;
    return defined $s ? $s : '';
}

# Completes set-up of a copy through setup.cgi; returns the password.
sub set_up_site {
    my ($cgi_dir, $title) = @_;
    my $password = 'correct horse 42';
    my $r = run_cgi($cgi_dir, 'setup.cgi',
                    body => form_body(title => defined $title ? $title : 'Test Site', password => $password, password2 => $password));
    die "set-up failed with status $r->{status}: $r->{body}$r->{stderr}\n" if $r->{status} != 200 || !-e "$cgi_dir/data/site.conf";
    return $password;
}

1;
