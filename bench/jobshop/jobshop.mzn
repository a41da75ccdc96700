% Job-shop scheduling with makespan minimisation, the same disjunctive model as
% jobshop.lp: start times, job order, one of two orders per machine pair.
int: jobs;
int: machines;
array[1..jobs, 1..machines] of int: machine; % machine of operation (0-based)
array[1..jobs, 1..machines] of int: duration;
int: horizon = sum(duration);

array[1..jobs, 1..machines] of var 0..horizon: s;
var 0..horizon: makespan;

constraint forall(j in 1..jobs, i in 1..machines - 1)(s[j, i] + duration[j, i] <= s[j, i + 1]);
constraint forall(j in 1..jobs)(s[j, machines] + duration[j, machines] <= makespan);
constraint forall(j, k in 1..jobs, i, l in 1..machines
                  where (j < k \/ (j = k /\ i < l)) /\ machine[j, i] = machine[k, l])(
    s[j, i] + duration[j, i] <= s[k, l] \/ s[k, l] + duration[k, l] <= s[j, i]);

solve minimize makespan;
