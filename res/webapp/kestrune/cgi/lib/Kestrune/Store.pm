# The guestbook's entries, one line each in data/entries.txt, changed only under a lock.
package Kestrune::Store;

use strict;
use warnings;
use Fcntl qw(:flock O_RDWR O_CREAT);

sub new {
    my ($class, $data_dir) = @_;
    return bless { dir => $data_dir, file => "$data_dir/entries.txt" }, $class;
}

# Fields are kept with "%", tab and line breaks percent-encoded, so one entry is always one line:
#   id TAB time TAB name TAB message
sub _pack {
    my ($s) = @_;
    $s =~ s/([%\t\r\n])/sprintf('%%%02X', ord($1))/ge;
    return $s;
}

sub _unpack {
    my ($s) = @_;
    $s =~ s/%([0-9A-F]{2})/chr(hex($1))/ge;
    return $s;
}

# All entries, newest first, as hashes with id, time, name and message.
sub entries {
    my ($self) = @_;
    open my $fh, '<', $self->{file} or return ();
    flock $fh, LOCK_SH;
    my @list;
    while (my $line = <$fh>) {
        chomp $line;
        my ($id, $time, $name, $message) = split /\t/, $line, -1;
        next if !defined $message || $id !~ /^\d+$/ || $time !~ /^\d+$/;
        push @list, { id => $id, time => $time, name => _unpack($name), message => _unpack($message) };
    }
    close $fh;
    return reverse @list;
}

# Runs $change on the current list of entries (oldest first) with the file locked for the whole time,
# then writes what it returns as the new content.
sub _update {
    my ($self, $change) = @_;
    sysopen my $lock, "$self->{file}.lock", O_RDWR | O_CREAT, 0600 or die "cannot lock the entries: $!\n";
    flock $lock, LOCK_EX or die "cannot lock the entries: $!\n";
    my @old = reverse $self->entries;
    my @new = $change->(@old);
    my $tmp = "$self->{file}.tmp$$";
    open my $out, '>', $tmp or die "cannot write the entries: $!\n";
    my $ok = 1;
    for my $e (@new) {
        $ok &&= print {$out} join("\t", $e->{id}, $e->{time}, _pack($e->{name}), _pack($e->{message})), "\n";
    }
    $ok = close($out) && $ok;
    if (!$ok || !rename($tmp, $self->{file})) {
        my $err = "$!";
        unlink $tmp;
        die "cannot write the entries: $err\n";
    }
    close $lock;
    return;
}

# Adds an entry and returns its id. Ids are never given twice, not even after the newest entry was
# deleted, so a delete button on a page shown earlier can never remove a newer entry: the last id given
# is kept in entries.seq.
sub add {
    my ($self, $name, $message, $time) = @_;
    my $id;
    $self->_update(sub {
        my @list = @_;
        my $seq = "$self->{file}.seq";
        $id = 0;
        if (open my $fh, '<', $seq) {
            my $last = <$fh>;
            $id = $1 if defined $last && $last =~ /^(\d{1,9})$/;
            close $fh;
        }
        for (@list) { $id = $_->{id} if $_->{id} > $id }
        $id++;
        open my $out, '>', "$seq.tmp$$" or die "cannot write $seq: $!\n";
        (print {$out} "$id\n") && close($out) && rename("$seq.tmp$$", $seq) or die "cannot write $seq: $!\n";
        return (@list, { id => $id, time => defined $time ? $time : time, name => $name, message => $message });
    });
    return $id;
}

# Removes the entry of that id; returns whether there was one.
sub remove {
    my ($self, $id) = @_;
    my $found = 0;
    $self->_update(sub {
        my @keep = grep { $_->{id} != $id } @_;
        $found = @keep != @_;
        return @keep;
    });
    return $found;
}

1;
