café,Déscription,ÿþ($x)
last,no line end,done