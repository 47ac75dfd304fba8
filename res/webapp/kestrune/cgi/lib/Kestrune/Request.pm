# One CGI request: method, query and form fields, cookies, read from the environment the web server sets.
package Kestrune::Request;

use strict;
use warnings;

# A form is a few short fields; anything much larger is refused before it is read.
our $DEFAULT_MAX_POST = 16384;

sub new {
    my ($class, %opt) = @_;
    my $self = bless {
        method  => uc($ENV{REQUEST_METHOD} || 'GET'),
        params  => {},
        cookies => {},
        error   => undef,
    }, $class;
    my $max = $opt{max_post_bytes} || $DEFAULT_MAX_POST;

    $self->_add_fields($ENV{QUERY_STRING});
    if ($self->{method} eq 'POST') {
        my $length = $ENV{CONTENT_LENGTH};
        my $type   = defined $ENV{CONTENT_TYPE} ? $ENV{CONTENT_TYPE} : '';
        if (!defined $length || $length !~ /^\d{1,12}$/) {
            $self->{error} = [411, 'The request has no valid length.'];
        }
        elsif ($length > $max) {
            $self->{error} = [413, "The form is too large (at most $max bytes are accepted)."];
        }
        elsif ($type !~ m{^application/x-www-form-urlencoded\s*(?:;|$)}i) {
            $self->{error} = [415, 'The form was not sent as an ordinary web form.'];
        }
        else {
            my $body = '';
            binmode STDIN;
            while (length($body) < $length) {
                my $got = read(STDIN, $body, $length - length($body), length($body));
                last if !$got;
            }
            if (length($body) < $length) {
                $self->{error} = [400, 'The form arrived incomplete.'];
            }
            else {
                # Form fields take precedence over fields of the same name in the address.
                my %query = %{ $self->{params} };
                $self->{params} = {};
                $self->_add_fields($body);
                for my $k (keys %query) {
                    $self->{params}{$k} = $query{$k} if !exists $self->{params}{$k};
                }
            }
        }
    }

    for my $pair (split /;\s*/, defined $ENV{HTTP_COOKIE} ? $ENV{HTTP_COOKIE} : '') {
        my ($k, $v) = split /=/, $pair, 2;
        next if !defined $v || $k eq '';
        # Cookies are percent-encoded at most; a "+" in them is a plus sign.
        s/%([0-9A-Fa-f]{2})/chr(hex($1))/ge for $k, $v;
        $self->{cookies}{$k} = $v if !exists $self->{cookies}{$k};
    }
    return $self;
}

sub method { $_[0]{method} }
sub is_post { $_[0]{method} eq 'POST' }

# [status, text] when the request could not be read, undef otherwise.
sub error { $_[0]{error} }

# The first value of a field, or undef.
sub param {
    my ($self, $name) = @_;
    my $values = $self->{params}{$name};
    return $values ? $values->[0] : undef;
}

sub cookie { $_[0]{cookies}{ $_[1] } }

sub url_decode {
    my ($s) = @_;
    $s =~ tr/+/ /;
    $s =~ s/%([0-9A-Fa-f]{2})/chr(hex($1))/ge;
    return $s;
}

sub url_encode {
    my ($s) = @_;
    $s =~ s/([^A-Za-z0-9\-_.~])/sprintf('%%%02X', ord($1))/ge;
    return $s;
}

sub _add_fields {
    my ($self, $text) = @_;
    return if !defined $text || $text eq '';
    for my $pair (split /[&;]/, $text) {
        next if $pair eq '';
        my ($k, $v) = split /=/, $pair, 2;
        $v = '' if !defined $v;
        push @{ $self->{params}{ url_decode($k) } }, url_decode($v);
    }
}

1;
