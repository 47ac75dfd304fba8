# The application's sources as they must reach a Unix web server: scripts that compile and start right.
use strict;
use warnings;
use FindBin;
use lib "$FindBin::Bin/lib";
use File::Find qw(find);
use Test::More;
use KestruneCgi;

my $app = source_dir();
my (@scripts, @modules);
find({ no_chdir => 1, wanted => sub {
    return if !-f $_;
    push @scripts, $_ if /\.cgi\z/;
    push @modules, $_ if /\.p[ml]\z/;
} }, $app);
@scripts = sort @scripts;

cmp_ok(scalar @scripts, '>=', 4, 'several scripts');
ok(grep({ m{/cgi/setup\.cgi\z} } @scripts), 'cgi/setup.cgi exists');

for my $file (@scripts, sort @modules) {
    my $out = `"$^X" -c -I"$app/cgi/lib" "$file" 2>&1`;
    is($out, "$file syntax OK\n", "perl -c $file: compiles, without warnings");
}

for my $file (@scripts) {
    my $text = KestruneCgi::slurp($file);
    like($text, qr{\A#!/usr/bin/perl\n}, "$file starts with #!/usr/bin/perl and a bare line feed");
    like($text, qr/^use strict;$/m, "$file uses strict");
    like($text, qr/^use warnings;$/m, "$file uses warnings");
}

done_testing;
