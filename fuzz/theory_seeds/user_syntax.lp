%! -n 0
&dom{-3..3} = x. &dom{0..1073741823} = y.
&sum{x; y} < 3.
r :- &sum{2*x} != y.
&diff{x - y} <= -1 :- r.
