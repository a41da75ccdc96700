% Job-shop scheduling with makespan minimisation, one non-overlap constraint
% per machine. Input: op(J,I,M,D): operation I of job J runs on machine M for
% D time units; horizon(H): an upper bound on the makespan.

&dom{0 .. H} = s(J,I) :- op(J,I,_,_), horizon(H).
&dom{0 .. H} = makespan :- horizon(H).

% The operations of a job run in their order.
&diff{s(J,I) - s(J,I+1)} <= -D :- op(J,I,_,D), op(J,I+1,_,_).

% The operations on one machine do not overlap.
machine(M) :- op(_,_,M,_).
&disjoint{s(J,I) @ D : op(J,I,M,D)} :- machine(M).

% Every job ends by the makespan.
&diff{s(J,I) - makespan} <= -D :- op(J,I,_,D), not op(J,I+1,_,_).

&minimize{makespan}.
&show{makespan}.
#show.
