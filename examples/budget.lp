% Shopping on a budget: body &sum atoms stand for the truth of a constraint.
% "expensive" holds exactly when the bill exceeds 40, and the integrity
% constraint forbids a bill above the budget unless a loan is taken; a loan
% itself costs 5.
%
%   tarvex -n 0 examples/budget.lp

price(book,12). price(lamp,30). price(tea,4).
budget(35).

{ buy(I) : price(I,_) }.
{ loan }.
:- not buy(lamp).

&dom{0..100} = bill.
&sum{ P : buy(I), price(I,P); 5 : loan } = bill.

expensive :- &sum{ bill } > 40.
:- &sum{ bill } > B, budget(B), not loan.

&show{ bill }.
#show buy/1.
#show loan/0.
#show expensive/0.
