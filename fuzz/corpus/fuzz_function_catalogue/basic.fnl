abs,Absolute value,abs($x)
join,Join a list,join(",", @list)
,no name,x
print,Print

,,,,
x,,
