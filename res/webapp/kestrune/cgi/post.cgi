#!/usr/bin/perl
# Kestrune's form for signing the guestbook, and the adding of the entry it sends.
use strict;
use warnings;
use FindBin ();
use lib "$FindBin::Bin/lib";
use Kestrune::App;
use Kestrune::Html qw(escape render respond);
use Kestrune::Store;

Kestrune::App::run($FindBin::Bin, sub {
    my ($req, $settings, $dir) = @_;
    return Kestrune::App::not_configured_page($settings) if !$settings->{configured};

    my %form = (name => '', message => '');
    my @errors;
    if ($req->is_post) {
        my ($name, $name_error) = Kestrune::App::clean_text($req->param('name'), 'Your name', $settings->{max_name_length});
        my ($message, $message_error) =
            Kestrune::App::clean_text($req->param('message'), 'Your message', $settings->{max_message_length}, 1);
        @errors = grep { defined } $name_error, $message_error;
        my $trap = $req->param('website');
        if (!@errors) {
            # The hidden field is only ever filled by robots: they are thanked, and nothing is kept.
            Kestrune::Store->new("$dir/data")->add($name, $message) if !defined $trap || $trap eq '';
            Kestrune::App::message_page($settings, 200, 'Thank you', 'ok', 'Your entry has been added to the guestbook.',
                                        'index.cgi', 'Back to the guestbook');
            return;
        }
        %form = map { my $v = $req->param($_); ($_ => defined $v ? $v : '') } qw(name message);
    }

    my $errors = !@errors ? '' : render('parts/errors.html', {
        items => join('', map { '<li>' . escape($_) . '</li>' } @errors),
    });
    respond(
        status => @errors ? 400 : 200,
        title  => 'Sign the guestbook',
        site   => $settings->{site_title},
        body   => render('post.html', {
            errors      => $errors,
            name        => $form{name},
            message     => $form{message},
            max_name    => $settings->{max_name_length},
            max_message => $settings->{max_message_length},
        }),
    );
});
