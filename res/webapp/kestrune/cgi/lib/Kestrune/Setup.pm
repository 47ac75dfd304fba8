# Set-up: the checks of the hosting environment, the set-up form's rules, and writing data/site.conf once.
package Kestrune::Setup;

use strict;
use warnings;
use Fcntl qw(O_CREAT O_EXCL O_WRONLY);

our $MIN_PERL = 5.010;
our @MODULES = qw(Kestrune::App Kestrune::Request Kestrune::Html Kestrune::Settings Kestrune::Auth Kestrune::Store
                  Digest::SHA Fcntl FindBin);
# Files without which the pages cannot be shown.
our @FILES = qw(config/kestrune.conf templates/layout.html templates/message.html);

sub site_file { "$_[0]/data/site.conf" }

sub is_configured { -e site_file($_[0]) }

# Each check is { name, ok, detail }. Arguments, all but app_dir optional (tests replace them):
#   app_dir       the folder of the scripts
#   data_dir      the folder written to ($app_dir/data)
#   perl_version  as $] gives it
#   modules       the modules that must load
sub checks {
    my (%a) = @_;
    my $app  = $a{app_dir};
    my $data = defined $a{data_dir} ? $a{data_dir} : "$app/data";
    my $perl = defined $a{perl_version} ? $a{perl_version} : $];
    my @checks;

    my ($major, $minor, $patch) = sprintf('%.6f', $perl) =~ /^(\d+)\.(\d{3})(\d{3})/;
    my $shown = join '.', $major + 0, $minor + 0, $patch + 0;
    push @checks, {
        name   => 'Perl version',
        ok     => $perl >= $MIN_PERL ? 1 : 0,
        detail => $perl >= $MIN_PERL ? "Perl $shown" : "Perl $shown is too old: Kestrune needs Perl 5.10 or later.",
    };

    my @scripts = _scripts($app);
    my @stuck = grep { !-x "$app/$_" } @scripts;
    push @checks, {
        name   => 'Scripts executable',
        ok     => (@scripts && !@stuck) ? 1 : 0,
        detail => !@scripts ? "No scripts were found in $app."
                : @stuck    ? 'Not executable: ' . join(', ', @stuck) . '. Set their permissions to 755.'
                :             join(', ', @scripts),
    };

    my $problem = data_problem($data);
    push @checks, {
        name   => 'Data folder writable',
        ok     => $problem ? 0 : 1,
        detail => $problem ? "The folder data $problem. Make it a folder the web server may write to (755 or 777, as your host asks)."
                           : 'The folder data can be written to.',
    };

    my @failed;
    for my $module (@{ $a{modules} || \@MODULES }) {
        (my $file = "$module.pm") =~ s{::}{/}g;
        next if eval { require $file; 1 };
        my $why = $@ || 'unknown error';
        $why =~ s/\n.*//s;
        push @failed, "$module ($why)";
    }
    push @checks, {
        name   => 'Libraries',
        ok     => @failed ? 0 : 1,
        detail => @failed ? 'Cannot load: ' . join('; ', @failed) : 'All libraries load.',
    };

    my @missing = grep { !(-f "$app/$_" && -r _) } @FILES;
    push @checks, {
        name   => 'Application files',
        ok     => @missing ? 0 : 1,
        detail => @missing ? 'Missing or unreadable: ' . join(', ', @missing) . '. Upload them again.'
                           : 'Settings and templates are in place.',
    };
    return @checks;
}

sub _scripts {
    my ($dir) = @_;
    opendir my $dh, $dir or return ();
    my @names = sort grep { /\.cgi\z/ && -f "$dir/$_" } readdir $dh;
    closedir $dh;
    return @names;
}

# Why the data folder cannot take the site's files ("is missing", ...), or '' when it can. The test file
# proves it: as root, or with access lists, the permission bits alone say little.
sub data_problem {
    my ($dir) = @_;
    return 'is missing' if !-e $dir;
    return 'is not a folder' if !-d _;
    my $probe = "$dir/.write-test$$";
    sysopen(my $fh, $probe, O_WRONLY | O_CREAT | O_EXCL, 0600) or return 'is not writable';
    close $fh;
    unlink $probe;
    return '';
}

# Cleans the set-up form. Returns (\%values, \@errors).
sub validate {
    my ($title, $password, $again) = @_;
    my @errors;
    $title = '' if !defined $title;
    $title =~ s/^\s+|\s+$//g;
    $title =~ s/\s+/ /g;
    if ($title eq '') {
        push @errors, 'Please give your site a title.';
    }
    elsif (!utf8::decode(my $chars = $title)) {
        push @errors, 'The title is not valid UTF-8 text.';
    }
    elsif (length($chars) > 80) {
        push @errors, 'The title may be at most 80 characters long.';
    }
    elsif ($title =~ /[\x00-\x1f\x7f]/) {
        push @errors, 'The title may not hold control characters.';
    }
    $password = '' if !defined $password;
    if (length($password) < 8) {
        push @errors, 'The password must be at least 8 characters long.';
    }
    elsif (length($password) > 200) {
        push @errors, 'The password may be at most 200 characters long.';
    }
    elsif (!defined $again || $again ne $password) {
        push @errors, 'The two passwords do not match.';
    }
    return ({ title => $title, password => $password }, \@errors);
}

# Writes data/site.conf unless set-up has already been done. Returns 1 when written, 0 when a set-up had
# already been completed (even one finishing at the same moment: the lock makes the test and the write one
# step); dies when the file cannot be written.
sub configure {
    my ($app_dir, $title, $password) = @_;
    require Kestrune::Auth;
    require Kestrune::Settings;
    my $file = site_file($app_dir);
    return Kestrune::Settings::with_site_lock($app_dir, sub {
        return 0 if -e $file;
        Kestrune::Settings::write_file($file, {
            site_title    => $title,
            password_hash => Kestrune::Auth::hash_password($password),
            secret        => Kestrune::Auth::random_hex(32),
            created       => time,
        }, 'Written by setup.cgi. Delete this file to run set-up again.');
        return 1;
    });
}

1;
