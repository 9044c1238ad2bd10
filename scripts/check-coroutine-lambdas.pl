#!/usr/bin/env perl
# A coroutine lambda outlives the lambda object once it suspends, so whatever
# the lambda captured dangles after the first co_await. Coroutine lambdas
# (those returning Task) must take everything as parameters instead.
# Usage: check-coroutine-lambdas.pl FILE...; prints each offender, fails if any.
use strict;
use warnings;

my $bad = 0;
for my $file (@ARGV) {
  open(my $fh, '<', $file) or die "$file: $!";
  local $/;
  my $text = <$fh>;
  close $fh;
  while ($text =~ /\[([^\[\]]*)\]\s*\(((?:[^()]|\([^()]*\))*)\)\s*(?:mutable\s*)?(?:noexcept\s*)?->\s*(?:vuko::)?Task\b/g) {
    my ($captures, $at) = ($1, $-[0]);
    next unless $captures =~ /\S/;
    my $line = 1 + (() = substr($text, 0, $at) =~ /\n/g);
    # A lambda kept for the whole life of its owner (a test fixture's member,
    # a hook table) may say so where it starts.
    my $start = rindex($text, "\n", $at) + 1;
    my $end = index($text, "\n", $at);
    next if substr($text, $start, $end - $start) =~ m{//\s*lives with its owner};
    print "$file:$line: coroutine lambda captures [$captures]; pass them as parameters\n";
    $bad = 1;
  }
}
exit $bad;
