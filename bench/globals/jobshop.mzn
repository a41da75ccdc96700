% Job-shop scheduling with makespan minimisation, one non-overlap constraint
% per machine, as jobshop.lp.
include "disjunctive_strict.mzn";
int: jobs;
int: machines;
array[1..jobs, 1..machines] of int: machine; % machine of operation (0-based)
array[1..jobs, 1..machines] of int: duration;
int: horizon = sum(duration);

array[1..jobs, 1..machines] of var 0..horizon: s;
var 0..horizon: makespan;

constraint forall(j in 1..jobs, i in 1..machines - 1)(s[j, i] + duration[j, i] <= s[j, i + 1]);
constraint forall(j in 1..jobs)(s[j, machines] + duration[j, machines] <= makespan);
constraint forall(m in 0..machines - 1)(
    disjunctive_strict([s[j, i] | j in 1..jobs, i in 1..machines where machine[j, i] = m],
                       [duration[j, i] | j in 1..jobs, i in 1..machines where machine[j, i] = m]));

solve minimize makespan;
