% Shift planning: four people share six shifts, each shift goes to one
% person, and everyone has contract hours. The hours a person works sum the
% lengths of the shifts chosen for them: an element "L : works(P,S), len(S,L)"
% counts exactly when its condition holds, and works/2 is a choice. The
% objective is the total overtime, the hours beyond the contracts.
%
%   tarvex examples/shift_planning.lp

person(ann;bob;cat;dan).
len(1,8). len(2,8). len(3,6). len(4,6). len(5,4). len(6,4).
contract(ann,8). contract(bob,10). contract(cat,8). contract(dan,6).

1 { works(P,S) : person(P) } 1 :- len(S,_).

% Hours worked: a sum over the chosen shifts only.
&dom{0..36} = hours(P) :- person(P).
&sum{ L : works(P,S), len(S,L) } = hours(P) :- person(P).

% Overtime is at least the hours beyond the contract, and never negative.
&dom{0..36} = over(P) :- person(P).
&sum{ hours(P); -over(P) } <= C :- contract(P,C).

% A body sum with conditional elements: who works two shifts or more.
busy(P) :- person(P), &sum{ 1 : works(P,S) } >= 2.

&minimize{ over(P) : person(P) }.

&show{ hours/1; over/1 }.
#show works/2.
#show busy/1.
