my $x = 5;
print $a $b;
foreach $item (@list ) {
$;
printf("%d\n", $total

  );
$$ref{x} = %h;
$total