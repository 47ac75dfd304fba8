# The administrator's password (salted, stretched SHA-256) and the signed cookie of a signed-in session.
package Kestrune::Auth;

use strict;
use warnings;
use Digest::SHA qw(hmac_sha256 hmac_sha256_hex sha256_hex);

our $ITERATIONS = 20000;
our $COOKIE = 'kestrune_admin';

# Hex text of $n unpredictable bytes: from /dev/urandom where the host has one, otherwise mixed from
# whatever varies between requests.
sub random_hex {
    my ($n) = @_;
    if (open my $fh, '<:raw', '/dev/urandom') {
        my $bytes = '';
        read($fh, $bytes, $n);
        close $fh;
        return unpack('H*', $bytes) if length($bytes) == $n;
    }
    my $hex = '';
    while (length($hex) < 2 * $n) {
        $hex .= sha256_hex(join ':', $hex, time, $$, rand(), join(',', times), \$hex, scalar(%ENV));
    }
    return substr($hex, 0, 2 * $n);
}

# PBKDF2 with HMAC-SHA-256, one output block.
sub _pbkdf2 {
    my ($password, $salt, $iterations) = @_;
    my $u = hmac_sha256($salt . pack('N', 1), $password);
    my $out = $u;
    for (2 .. $iterations) {
        $u = hmac_sha256($u, $password);
        $out ^= $u;
    }
    return unpack('H*', $out);
}

# "pbkdf2-sha256$iterations$salt$hash", the form kept in data/site.conf.
sub hash_password {
    my ($password) = @_;
    my $salt = random_hex(16);
    return join '$', 'pbkdf2-sha256', $ITERATIONS, $salt, _pbkdf2($password, $salt, $ITERATIONS);
}

sub check_password {
    my ($password, $stored) = @_;
    return 0 if !defined $password || !defined $stored;
    my ($scheme, $iterations, $salt, $hash) = split /\$/, $stored;
    return 0 if !defined $hash || $scheme ne 'pbkdf2-sha256' || $iterations !~ /^\d{1,7}$/ || $iterations < 1;
    return same(_pbkdf2($password, $salt, $iterations), $hash);
}

# Compares two texts in a time that does not depend on where they differ.
sub same {
    my ($x, $y) = @_;
    return 0 if length($x) != length($y);
    my $diff = 0;
    $diff |= ord(substr($x, $_, 1)) ^ ord(substr($y, $_, 1)) for 0 .. length($x) - 1;
    return $diff == 0;
}

# The session cookie's value: its expiry time and a signature over it with the site's secret.
sub session_token {
    my ($secret, $minutes, $now) = @_;
    my $expires = (defined $now ? $now : time) + 60 * $minutes;
    return "$expires." . hmac_sha256_hex("session:$expires", $secret);
}

sub session_valid {
    my ($token, $secret, $now) = @_;
    return 0 if !defined $token || !defined $secret || $token !~ /^(\d{1,12})\.([0-9a-f]{64})$/;
    my ($expires, $sig) = ($1, $2);
    return 0 if $expires < (defined $now ? $now : time);
    return same(hmac_sha256_hex("session:$expires", $secret), $sig);
}

# The value admin forms carry in a hidden field: another page cannot know it, so it cannot send a form
# on the administrator's behalf.
sub form_token {
    my ($token, $secret) = @_;
    return hmac_sha256_hex("form:$token", $secret);
}

1;
