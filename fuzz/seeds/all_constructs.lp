% A program touching every construct of the input language; printing it
% twice must give the same text.
%* block comments %* nest *% and
   span lines *%
#program base.
#const n = 5.
#const m = n*2 [override].
a.
p(1,"a\"b\\c\nd",c,#inf,#sup,X,_) :- q(X).
p((1,2),(1,),()) :- r.
p(X+Y*Z-2/3\4**2**3) :- s(X,Y,Z).
p(-X,~Y,|Z-1|,(A&B)?(C^D)) :- s(X,Y,Z), t(A,B,C,D).
p(-2147483648, 2147483647, -(3), - -4, (-5)**2, -(5**2)) :- u.
p(1..n) :- v.
p((1..2)+3, X-(Y-Z), X-Y-Z, 2**(3**4), (2**3)**4) :- s(X,Y,Z).
p(1;2;f(a;b)).
q((a,b;c)).
-p(1) :- not q, not not r, -s.
a :- X = Y, X != Y, X < Y, X <= Y, X > Y, X >= Y, X < -Y, #true, not #false, s(X,Y,_).
a ; b | c :- d.
a : b, c; d.
j : .
k: :- l.
#false.
{ a; b : c, d; e } :- f.
1 { a; b } 2.
1 < { a } != 3.
{ p(X) : q(X) } = 1 :- r.
:- a, b.
:- 1 #count { X,Y : p(X,Y), not q(X); a : b } 3.
:- #sum { X : p(X) } > 10, #sum+ { 1 : a } = 2, #min { X : p(X) } < 0, #max { X : p(X) } >= #inf.
ok :- not 2 <= #count { X : p(X) }.
a :- b : c, d; e.
a :- b : .
a :- { b; c : d } > 1.
a :- #count { : b; } = 0.
#show.
#show p/2.
#show -q/0.
#show X : p(X), not q(X).
#show (a/2).
#minimize { 1@2,X : p(X); 3,a : b }.
#maximize { X : p(X) }.
:~ p(X), q. [X@1,X,a]
:~ p. [1]
:~ . [2@1]
#program step(t,u).
#external e(X) : f(X), not g.
#external e.
#defined p/3.
#defined -p/0.
#theory t {
    g { + : 1, binary, left; ** : 3, binary, right; - : 2, unary };
    h { };
    &a/0 : g, {<=, =}, h, any;
    &b/1 : g, head;
    &c/0 : h, directive
}.
&a { x + -1 : p(1), q; (y,z); [1,2] : ; {u}; f(x,"s",#sup) } <= 3 :- b.
:- &a { 2*X : p(X) } >= 4, &b(1) { }.
&c { X, (Y) * (Z + 1) }.
