&dom{1 .. n} = q(I) :- I = 1 .. n.
&distinct{q(I) : I = 1 .. n}.
&distinct{q(I) + I : I = 1 .. n}.
&distinct{q(I) - I : I = 1 .. n}.
