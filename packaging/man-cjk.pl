#!/usr/bin/perl
# Sets the manual page's Chinese as Chinese is set: a line may break after any character (\: is
# a break point of no width), and where the help broke a line between two characters the page
# joins them without a space (\c), but for an option's tag line (after .TP).
#   perl man-cjk.pl HELP2MAN-PAGE PAGE
use strict;
use warnings;

my ($from, $to) = @ARGV;
open(my $in, '<:encoding(UTF-8)', $from) or die "$from: $!\n";
my $page = do { local $/; <$in> };
close($in);
my $cjk = qr/[\x{3000}-\x{9FFF}\x{FF00}-\x{FFEF}]/;
$page =~ s/($cjk)/$1\\:/g;
$page =~ s/^(?<!\.TP\n)(.*$cjk\\:)\n(?=$cjk)/$1\\c\n/mg;
open(my $out, '>:encoding(UTF-8)', $to) or die "$to: $!\n";
print $out $page or die "$to: $!\n";
close($out) or die "$to: $!\n";
