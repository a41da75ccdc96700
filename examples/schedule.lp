% Three tasks share one machine. Every order of the tasks packs them without
% gaps into the horizon, so each model is one order with its start times.
%
%   tarvex --json -n 0 examples/schedule.lp

task(a). task(b). task(c).
dur(a,2). dur(b,3). dur(c,1).
horizon(6).

% Start times lie inside the horizon; every task ends by its end.
&dom{0 .. H} = start(T) :- task(T), horizon(H).
&sum{start(T)} <= H - D :- dur(T,D), horizon(H).

% One of the two orders of every pair of tasks.
1 { before(X,Y); before(Y,X) } 1 :- task(X), task(Y), X < Y.

% A task placed before another ends before that one starts.
&diff{start(X) - start(Y)} <= -D :- before(X,Y), dur(X,D).

% The makespan bounds every end; it is computed but not shown.
&diff{start(T) - makespan} <= -D :- dur(T,D).
&dom{0 .. H} = makespan :- horizon(H).

% Tasks that start in the first half of the horizon.
early(T) :- task(T), &sum{start(T)} < 3.

&show{start/1}.
#show before/2.
#show early/1.
