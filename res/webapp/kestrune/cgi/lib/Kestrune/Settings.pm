# Settings: the shipped defaults of config/kestrune.conf and the site's own data/site.conf written by set-up.
package Kestrune::Settings;

use strict;
use warnings;
use Fcntl qw(:flock O_RDWR O_WRONLY O_CREAT O_EXCL);

# Numeric settings and the range each must lie in; a bad value in a file falls back to the default.
our %LIMITS = (
    entries_per_page   => [10,    1, 100],
    max_name_length    => [60,    1, 200],
    max_message_length => [2000, 10, 20000],
    max_post_bytes     => [16384, 1024, 1048576],
    feed_entries       => [20,    1, 100],
    session_minutes    => [480,   5, 10080],
);

# Reads "key = value" lines; "#" starts a comment line. Returns a hash reference, or undef with $! set
# when the file cannot be opened.
sub read_file {
    my ($path) = @_;
    open my $fh, '<', $path or return undef;
    my %conf;
    while (my $line = <$fh>) {
        $line =~ s/\r?\n\z//;
        next if $line =~ /^\s*(?:#|$)/;
        if ($line =~ /^\s*([A-Za-z_][A-Za-z0-9_]*)\s*=\s*(.*?)\s*$/) {
            $conf{$1} = $2;
        }
    }
    close $fh;
    return \%conf;
}

# Writes the file completely under a temporary name in the same folder, then renames it over the old one,
# so a reader sees either the old or the new file, never half of one.
sub write_file {
    my ($path, $conf, $comment) = @_;
    for my $k (keys %$conf) {
        die "bad setting name $k\n" if $k !~ /^[A-Za-z_][A-Za-z0-9_]*$/;
        die "setting $k holds a line break\n" if $conf->{$k} =~ /[\r\n]/;
    }
    my $tmp = "$path.tmp$$";
    sysopen my $fh, $tmp, O_WRONLY | O_CREAT | O_EXCL, 0600 or die "cannot create $tmp: $!\n";
    my $text = defined $comment ? "# $comment\n" : '';
    $text .= "$_ = $conf->{$_}\n" for sort keys %$conf;
    my $ok = print {$fh} $text;
    $ok = close($fh) && $ok;
    if (!$ok || !rename($tmp, $path)) {
        my $err = "$!";
        unlink $tmp;
        die "cannot write $path: $err\n";
    }
    return 1;
}

# Runs $code while holding the lock that guards data/site.conf, and returns what it returns.
sub with_site_lock {
    my ($app_dir, $code) = @_;
    my $path = "$app_dir/data/site.lock";
    sysopen my $lock, $path, O_RDWR | O_CREAT, 0600 or die "cannot open $path: $!\n";
    flock $lock, LOCK_EX or die "cannot lock $path: $!\n";
    my @result = eval { $code->() };
    my $err = $@;
    close $lock;
    die $err if $err;
    return wantarray ? @result : $result[0];
}

# Changes some of the site's own settings; the others are kept as they are.
sub update_site {
    my ($app_dir, $changes) = @_;
    my $file = "$app_dir/data/site.conf";
    return with_site_lock($app_dir, sub {
        my $site = read_file($file) or die "cannot read $file: $!\n";
        write_file($file, { %$site, %$changes }, 'Written by Kestrune. Delete this file to run set-up again.');
    });
}

# All settings of an installation: the defaults, then config/kestrune.conf, then data/site.conf.
# "configured" tells whether set-up has been completed.
sub load {
    my ($app_dir) = @_;
    my %s = map { $_ => $LIMITS{$_}[0] } keys %LIMITS;
    $s{site_title} = 'Kestrune';
    my $shipped = read_file("$app_dir/config/kestrune.conf") || {};
    my $site    = read_file("$app_dir/data/site.conf");
    for my $conf ($shipped, $site || {}) {
        for my $k (keys %$conf) {
            if (my $limit = $LIMITS{$k}) {
                my $v = $conf->{$k};
                $s{$k} = $v if $v =~ /^\d{1,9}$/ && $v >= $limit->[1] && $v <= $limit->[2];
            }
            else {
                $s{$k} = $conf->{$k};
            }
        }
    }
    $s{configured} = ($site && defined $site->{password_hash} && defined $site->{secret}) ? 1 : 0;
    return \%s;
}

1;
