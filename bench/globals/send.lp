% SEND + MORE = MONEY: distinct digits, no leading zero.
letter(s; e; n; d; m; o; r; y).
&dom{0 .. 9} = L :- letter(L).
&dom{1 .. 9} = s.
&dom{1 .. 9} = m.
&distinct{L : letter(L)}.
&sum{1000*s; 100*e; 10*n; d; 1000*m; 100*o; 10*r; e; -10000*m; -1000*o; -100*n; -10*e; -y} = 0.
