% All magic squares of order n: the values 1..n*n, every row, column and
% both diagonals sum to n*(n*n+1)/2.
#const n = 4.
#const s = n * (n * n + 1) / 2.
&dom{1 .. n * n} = m(R, C) :- R = 1 .. n, C = 1 .. n.
&distinct{m(R, C) : R = 1 .. n, C = 1 .. n}.
&sum{m(R, C) : C = 1 .. n} = s :- R = 1 .. n.
&sum{m(R, C) : R = 1 .. n} = s :- C = 1 .. n.
&sum{m(I, I) : I = 1 .. n} = s.
&sum{m(I, n + 1 - I) : I = 1 .. n} = s.
