#!/usr/bin/perl
# Kestrune's guestbook page: the entries, newest first, a page at a time.
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

    my @all = Kestrune::Store->new("$dir/data")->entries;
    my $per = $settings->{entries_per_page};
    my $pages = @all ? int((@all + $per - 1) / $per) : 1;
    my $page = $req->param('page');
    $page = 1 if !defined $page || $page !~ /^\d{1,6}$/ || $page < 1;
    $page = $pages if $page > $pages;
    my @shown = @all;
    splice @shown, 0, ($page - 1) * $per;
    splice @shown, $per if @shown > $per;

    my $entries = join '', map {
        render('parts/entry.html', {
            id       => $_->{id},
            name     => $_->{name},
            date     => Kestrune::App::date_text($_->{time}),
            iso_time => Kestrune::App::iso_time($_->{time}),
            message  => Kestrune::App::message_html($_->{message}),
        })
    } @shown;
    $entries = '<p class="empty">No entries yet. Be the first to sign the guestbook!</p>' if $entries eq '';

    my @pager;
    push @pager, '<a href="index.cgi?page=' . ($page - 1) . '" rel="prev">Newer entries</a>' if $page > 1;
    push @pager, "Page $page of $pages" if $pages > 1;
    push @pager, '<a href="index.cgi?page=' . ($page + 1) . '" rel="next">Older entries</a>' if $page < $pages;

    respond(
        title => $settings->{site_title},
        site  => $settings->{site_title},
        body  => render('index.html', {
            count   => @all == 1 ? '1 entry' : scalar(@all) . ' entries',
            entries => $entries,
            pager   => join(' &middot; ', @pager),
        }),
    );
});
