%! -t 2 -n 3
&dom{1..10} = a. &dom{1..10} = b. &dom{-5..5} = c.
&distinct{a; b + 1; 2*c}.
&disjoint{a @ 2; b @ 3; c @ 1}.
&__nsum_h{a * b; c} <= 20.
&show{a; b/0; c/(-1); f/4294967296}.
&minimize{a; -b}.
&dom{5..3} = d :- e.
{ e }.
