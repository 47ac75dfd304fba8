#!/usr/bin/perl
# Kestrune's administration: sign in with the set-up password, delete entries, change the site's title.
use strict;
use warnings;
use FindBin ();
use lib "$FindBin::Bin/lib";
use Kestrune::App;
use Kestrune::Auth;
use Kestrune::Html qw(escape render respond);
use Kestrune::Settings;
use Kestrune::Store;

Kestrune::App::run($FindBin::Bin, sub {
    my ($req, $settings, $dir) = @_;
    return Kestrune::App::not_configured_page($settings) if !$settings->{configured};

    my $secret = $settings->{secret};
    my $session = $req->cookie($Kestrune::Auth::COOKIE);
    $session = undef if !Kestrune::Auth::session_valid($session, $secret);
    my $action = $req->is_post ? ($req->param('action') || '') : '';
    my $path = Kestrune::App::script_folder();
    my $secure = ($ENV{HTTPS} && lc $ENV{HTTPS} ne 'off') ? '; Secure' : '';

    if ($action eq 'login') {
        if (!Kestrune::Auth::check_password($req->param('password'), $settings->{password_hash})) {
            return login_page($settings, 403, 'The password is not correct.');
        }
        $session = Kestrune::Auth::session_token($secret, $settings->{session_minutes});
        return entries_page($settings, $dir, $session, 'You are signed in.',
                            ["Set-Cookie: $Kestrune::Auth::COOKIE=$session; Path=$path; HttpOnly; SameSite=Strict$secure"]);
    }
    return login_page($settings, $action eq '' ? 200 : 403, $action eq '' ? '' : 'Please sign in again.') if !$session;

    # Every change must come from one of the forms this script handed out in the same session.
    if ($action ne '') {
        my $token = $req->param('token');
        if (!defined $token || !Kestrune::Auth::same($token, Kestrune::Auth::form_token($session, $secret))) {
            return entries_page($settings, $dir, $session, 'That form has expired; nothing was changed.', [], 403);
        }
    }

    if ($action eq 'logout') {
        return login_page($settings, 200, '', 'You are signed out.',
                          ["Set-Cookie: $Kestrune::Auth::COOKIE=; Path=$path; Max-Age=0; HttpOnly; SameSite=Strict$secure"]);
    }
    if ($action eq 'delete') {
        my $id = $req->param('id');
        my $found = defined $id && $id =~ /^\d{1,9}$/ && Kestrune::Store->new("$dir/data")->remove($id);
        return entries_page($settings, $dir, $session, $found ? "Entry $id deleted." : 'There is no such entry.', [],
                            $found ? 200 : 404);
    }
    if ($action eq 'title') {
        my ($title, $error) = Kestrune::App::clean_text($req->param('title'), 'The title', 80);
        return entries_page($settings, $dir, $session, $error, [], 400) if $error;
        Kestrune::Settings::update_site($dir, { site_title => $title });
        $settings->{site_title} = $title;
        return entries_page($settings, $dir, $session, 'The title has been changed.');
    }
    return entries_page($settings, $dir, $session, $action eq '' ? '' : 'Unknown action.', [], $action eq '' ? 200 : 400);
});

sub login_page {
    my ($settings, $status, $error, $notice, $headers) = @_;
    my $errors = $error ? render('parts/errors.html', { items => '<li>' . escape($error) . '</li>' }) : '';
    $errors = '<p class="ok">' . escape($notice) . '</p>' . $errors if $notice;
    respond(status => $status, title => 'Administration', site => $settings->{site_title}, headers => $headers,
            no_store => 1, body => render('admin/login.html', { errors => $errors }));
    return;
}

sub entries_page {
    my ($settings, $dir, $session, $notice, $headers, $status) = @_;
    my $token = Kestrune::Auth::form_token($session, $settings->{secret});
    my @entries = Kestrune::Store->new("$dir/data")->entries;
    my $rows = join '', map {
        # Cut in characters, not bytes, so a letter of several UTF-8 bytes is never split.
        my $excerpt = $_->{message};
        utf8::decode($excerpt);
        $excerpt = substr($excerpt, 0, 117) . '...' if length($excerpt) > 120;
        utf8::encode($excerpt);
        render('admin/parts/row.html', {
            id      => $_->{id},
            date    => Kestrune::App::date_text($_->{time}),
            name    => $_->{name},
            excerpt => $excerpt,
            token   => $token,
        })
    } @entries;
    respond(
        status   => $status || 200,
        title    => 'Administration',
        site     => $settings->{site_title},
        headers  => $headers,
        no_store => 1,
        body     => render('admin/entries.html', {
            notice => $notice ? '<p class="notice">' . escape($notice) . '</p>' : '',
            token  => $token,
            title  => $settings->{site_title},
            count  => scalar(@entries),
            rows   => $rows,
        }),
    );
    return;
}
