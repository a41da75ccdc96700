% Non-overlap with an objective: jobs pass two machines, a cutter and then a
% press; each machine runs one job at a time (one &disjoint per machine) and
% the end of the last job is minimised.
%
%   tarvex examples/workshop.lp

% op(Job, Step, Machine, Duration)
op(a, 1, cutter, 3). op(a, 2, press, 2).
op(b, 1, cutter, 2). op(b, 2, press, 4).
op(c, 1, cutter, 4). op(c, 2, press, 1).
op(d, 1, cutter, 1). op(d, 2, press, 3).
horizon(20).

&dom{0 .. H} = start(J, S) :- op(J, S, _, _), horizon(H).
&dom{0 .. H} = makespan :- horizon(H).

% A job's second step starts when its first has ended.
&diff{start(J, 1) - start(J, 2)} <= -D :- op(J, 1, _, D).

% The steps on one machine do not overlap.
machine(M) :- op(_, _, M, _).
&disjoint{start(J, S) @ D : op(J, S, M, D)} :- machine(M).

% Every job ends by the makespan, which is minimised.
&diff{start(J, 2) - makespan} <= -D :- op(J, 2, _, D).
&minimize{makespan}.

&show{makespan; start/2}.
#show.
