#!/usr/bin/perl
# Kestrune's set-up page: checks the hosting account, then records the site's title and administrator password.
use strict;
use warnings;
use FindBin ();
use lib "$FindBin::Bin/lib";

my $dir = $FindBin::Bin;

# Without its libraries this script can still say what is wrong, in a page of its own.
if (!eval { require Kestrune::Setup; require Kestrune::App; 1 }) {
    my $why = $@;
    $why =~ s/&/&amp;/g;
    $why =~ s/</&lt;/g;
    $why =~ s/>/&gt;/g;
    binmode STDOUT;
    print "Status: 500 Internal Server Error\r\nContent-Type: text/html; charset=utf-8\r\n\r\n",
          "<!DOCTYPE html>\n<html><head><title>Kestrune set-up</title></head><body><h1>Kestrune set-up</h1>\n",
          "<p>PROBLEM: Kestrune's libraries could not be loaded from the folder lib. Upload that folder again, ",
          "keeping the folders inside it.</p>\n<pre>$why</pre>\n</body></html>\n";
    exit 0;
}

Kestrune::App::run($dir, sub {
    my ($req, $settings) = @_;
    my %page = (title => 'Kestrune set-up', site => 'Kestrune', no_store => 1);

    if (Kestrune::Setup::is_configured($dir)) {
        Kestrune::Html::respond(%page, status => $req->is_post ? 409 : 200,
                                body => Kestrune::Html::render('setup_locked.html', {}));
        return;
    }
    if ($req->method ne 'GET' && $req->method ne 'HEAD' && !$req->is_post) {
        Kestrune::Html::respond(%page, status => 405, headers => ['Allow: GET, HEAD, POST'],
                                body => '<p class="problem">This page only answers GET and POST requests.</p>');
        return;
    }

    my @checks = Kestrune::Setup::checks(app_dir => $dir);
    my $ready = !grep { !$_->{ok} } @checks;
    my ($values, $errors) = ({ title => '' }, []);
    if ($req->is_post) {
        ($values, $errors) = Kestrune::Setup::validate(map { $req->param($_) } qw(title password password2));
        push @$errors, 'Set-up cannot finish until every check is OK.' if !$ready;
        if (!@$errors) {
            if (Kestrune::Setup::configure($dir, $values->{title}, $values->{password})) {
                Kestrune::Html::respond(%page, title => 'Set-up complete', site => $values->{title},
                                        body => Kestrune::Html::render('setup_done.html', { title => $values->{title} }));
            }
            else {
                Kestrune::Html::respond(%page, status => 409, body => Kestrune::Html::render('setup_locked.html', {}));
            }
            return;
        }
    }

    my $rows = join '', map {
        Kestrune::Html::render('parts/check.html', {
            class  => $_->{ok} ? 'ok' : 'problem',
            icon   => $_->{ok} ? 'ok.gif' : 'problem.gif',
            status => $_->{ok} ? 'OK' : 'PROBLEM',
            name   => $_->{name},
            detail => $_->{detail},
        })
    } @checks;
    my $form = !@$errors ? '' : Kestrune::Html::render('parts/errors.html', {
        items => join('', map { '<li>' . Kestrune::Html::escape($_) . '</li>' } @$errors),
    });
    $form .= $ready ? Kestrune::Html::render('parts/setup_form.html', { title => $values->{title} })
                    : '<p class="problem">Correct the problems marked above, then reload this page.</p>';
    Kestrune::Html::respond(%page, status => @$errors ? 400 : 200,
                            body => Kestrune::Html::render('setup.html', { checks => $rows, form => $form }));
}, show_errors => 1);
