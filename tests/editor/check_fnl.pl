#!/usr/bin/perl
# Checks a function catalogue against the perl that runs this script. Prints one line
# per fault and exits 1 when there is any.
#
# Where the list of built-ins comes from: Pod::Functions, a core module that perl's
# build generates from perlfunc.pod, holds one entry per function that perlfunc
# documents (%Flavor). That is perlfunc's own list, available wherever perl is, even
# without the perl-doc package that holds perlfunc.pod itself.
#
# Each plain-word name is also asked of perl directly: prototype("CORE::name") dies
# with "Can't find an opnumber" for a word that is not a built-in keyword. The
# quote-like operators and -X are checked by compiling them.
use strict;
use warnings;
use Pod::Functions ();

my ($path) = @ARGV;
open(my $fh, '<:raw', $path) or die "Cannot open $path: $!\n";
my @faults;
my %seen;
my @entries;
while (my $line = <$fh>) {
    $line =~ s/\r?\n\z//;
    my ($name, $description, $template) = split /,/, $line, 3;
    if (!defined $template || $name eq '') {
        push @faults, "line $.: not in the form name,description,template: $line";
        next;
    }
    push @faults, "line $.: $name listed twice" if $seen{$name}++;
    push @faults, "line $.: $name has an empty description" if $description !~ /\S/;
    push @faults, "line $.: $name has an empty template" if $template !~ /\S/;
    push @entries, [$name, $template, $.];
}

my %builtin = map { $_ => 1 } keys %Pod::Functions::Flavor;
# break needs the switch feature, which a later perl may no longer have.
my $switch = eval "use feature 'switch'; 1" ? "use feature 'switch';" : '';
for my $entry (@entries) {
    my ($name, $template, $line) = @$entry;
    push @faults, "line $line: $name is not a Perl built-in function" unless $builtin{$name};
    if ($name =~ /^[A-Za-z_]\w*$/ && $name ne 'import') {
        push @faults, "line $line: perl does not know CORE::$name"
            unless eval { my $p = prototype "CORE::$name"; 1 };
    }
    (my $word = $name) =~ s{/.*}{};
    my $mention = $name eq '-X' ? qr/(?<![\w-])-[a-zA-Z]\b/ : qr/(?<![\w\$\@%])\Q$word\E\b/;
    push @faults, "line $line: the template of $name does not use it: $template" unless $template =~ $mention;
    # A template is meant to be inserted and used: it has to compile. A format needs
    # lines after its head, which one line cannot hold.
    next if $name eq 'format';
    my $code = "use feature q(:5.16); $switch no strict; no warnings; sub { $template\n }";
    local $SIG{__WARN__} = sub { };
    push @faults, "line $line: the template of $name does not compile: $@" unless eval "$code; 1";
}
for my $name (sort keys %builtin) {
    push @faults, "missing built-in: $name" unless $seen{$name};
}

print "$_\n" for @faults;
exit(@faults ? 1 : 0);

