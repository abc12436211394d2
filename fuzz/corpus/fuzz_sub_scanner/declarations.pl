package A;
sub x { my $s = <<"E";
sub y
E
}
=pod
sub z
=cut
s{a}{b}; q#x#; $h{sub}; sub w ($$) {}
