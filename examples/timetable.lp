% All-different: four lectures go into distinct slots of one day, so that no
% two of them clash; a lecturer who teaches two of them needs a free slot in
% between. &distinct takes whole linear terms, here plain slot variables.
%
%   tarvex -n 0 examples/timetable.lp

lecture(algebra; logic; graphs; topology).
teaches(ann, algebra). teaches(ann, topology).
teaches(bob, logic).   teaches(bob, graphs).

&dom{1 .. 5} = slot(L) :- lecture(L).
&distinct{slot(L) : lecture(L)}.

% Two lectures of one lecturer are at least two slots apart.
apart(X, Y) :- teaches(P, X), teaches(P, Y), X < Y.
1 { first(X, Y); first(Y, X) } 1 :- apart(X, Y).
&diff{slot(X) - slot(Y)} <= -2 :- first(X, Y).

% Algebra is in the morning (slots 1 and 2).
&sum{slot(algebra)} <= 2.

&show{slot/1}.
#show.
