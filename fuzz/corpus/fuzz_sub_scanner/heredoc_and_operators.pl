my $t = <<~EOT;
  sub a
  EOT
my $r = $x // 2; s,a,b,; if (-s "$f") { tr{a}
{b} }
__END__
sub z
