#include "symbols/signature.hpp"
#include "symbols/string_pool.hpp"
#include "symbols/symbol.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <thread>
#include <vector>

namespace Gondra::Symbols {
namespace {

Symbol num(int32_t n) { return Symbol::create_number(n); }
Symbol id(char const* name, bool positive = true) { return Symbol::create_id(name, positive); }
Symbol fun(char const* name, std::vector<Symbol> const& args, bool positive = true) {
    return Symbol::create_function(name, args, positive);
}
Symbol tup(std::vector<Symbol> const& args) { return Symbol::create_tuple(args); }

TEST(SymbolTest, NumbersRoundTripThroughTheHandle) {
    for (int32_t n : {0, 1, -1, 42, INT32_MIN, INT32_MAX}) {
        Symbol s = num(n);
        EXPECT_EQ(s.type(), SymbolType::Number);
        EXPECT_EQ(s.number(), n);
        EXPECT_EQ(Symbol::from_rep(s.rep()), s);
    }
    EXPECT_EQ(Symbol{}, num(0));
    // a zero-initialised handle is a valid symbol, not a dangling node
    EXPECT_EQ(Symbol::from_rep(0), num(0));
    EXPECT_NE(num(1), num(-1));
}

TEST(SymbolTest, InterningGivesEqualHandlesForEqualSymbols) {
    EXPECT_EQ(Symbol::create_string("abc").rep(), Symbol::create_string(std::string("ab") + "c").rep());
    EXPECT_EQ(fun("f", {num(1), tup({id("a"), Symbol::create_string("x")})}),
              fun("f", {num(1), tup({id("a"), Symbol::create_string("x")})}));
    EXPECT_NE(fun("f", {num(1)}), fun("f", {num(2)}));
    EXPECT_NE(fun("f", {num(1)}), fun("f", {num(1)}, false));
    EXPECT_NE(id("f"), fun("f", {num(1)}));
    // a string and a constant with the same text are different symbols
    EXPECT_NE(Symbol::create_string("a"), id("a"));
    // strings may contain NUL characters and stay distinct from their prefix
    EXPECT_NE(Symbol::create_string(std::string_view("a\0b", 3)), Symbol::create_string("a"));
    EXPECT_EQ(Symbol::create_string(std::string_view("a\0b", 3)).string_view().size(), 3U);
    EXPECT_EQ(intern_string("hello"), intern_string(std::string("hel") + "lo"));
}

TEST(SymbolTest, AccessorsRejectOtherKinds) {
    Symbol f = fun("g", {num(3), id("b")}, false);
    EXPECT_STREQ(f.name(), "g");
    EXPECT_TRUE(f.is_negative());
    ASSERT_EQ(f.arguments().size(), 2U);
    EXPECT_EQ(f.arguments()[1], id("b"));
    EXPECT_EQ(f.flip_sign(), fun("g", {num(3), id("b")}));
    EXPECT_TRUE(tup({num(1)}).is_tuple());
    EXPECT_FALSE(id("a").is_tuple());

    EXPECT_THROW((void)Symbol::create_string("s").number(), std::runtime_error);
    EXPECT_THROW((void)num(1).name(), std::runtime_error);
    EXPECT_THROW((void)num(1).arguments(), std::runtime_error);
    EXPECT_THROW((void)id("a").string(), std::runtime_error);
    EXPECT_THROW((void)Symbol::create_supremum().is_positive(), std::runtime_error);
}

TEST(SymbolTest, PrintsInInputSyntax) {
    EXPECT_EQ(num(-17).to_string(), "-17");
    EXPECT_EQ(num(INT32_MIN).to_string(), "-2147483648");
    EXPECT_EQ(Symbol::create_infimum().to_string(), "#inf");
    EXPECT_EQ(Symbol::create_supremum().to_string(), "#sup");
    EXPECT_EQ(Symbol::create_string("a\"b\\c\nd").to_string(), R"("a\"b\\c\nd")");
    EXPECT_EQ(id("a", false).to_string(), "-a");
    EXPECT_EQ(fun("f", {num(-1), id("b")}, false).to_string(), "-f(-1,b)");
    EXPECT_EQ(tup({}).to_string(), "()");
    EXPECT_EQ(tup({id("a")}).to_string(), "(a,)");
    EXPECT_EQ(tup({tup({num(1)}), tup({num(2), tup({})})}).to_string(), "((1,),(2,()))");
    EXPECT_EQ(fun("f", {tup({num(1), num(2)}), Symbol::create_string("")}).to_string(), "f((1,2),\"\")");
    EXPECT_EQ(fun("f", {fun("g", {fun("h", {num(1)})}), num(2)}).to_string(), "f(g(h(1)),2)");
}

TEST(SymbolTest, DeeplyNestedTermsPrintAndCompareWithoutRecursion) {
    Symbol list = id("nil");
    Symbol other = id("nil");
    constexpr int depth = 200000;
    for (int i = 0; i < depth; ++i) {
        list = fun("cons", {num(i), list});
        other = fun("cons", {num(i == 0 ? -1 : i), other});
    }
    std::string text = list.to_string();
    EXPECT_EQ(text.substr(0, 20), "cons(199999,cons(199");
    std::string tail = "cons(0,nil" + std::string(depth, ')');
    ASSERT_GT(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(std::count(text.begin(), text.end(), '('), depth);
    // the lists differ only at the innermost cell
    EXPECT_LT(other, list);
    EXPECT_GT(list, other);
}

TEST(SymbolTest, TotalOrderAcrossAndWithinKinds) {
    std::vector<Symbol> sorted = {
        Symbol::create_infimum(),
        num(INT32_MIN),
        num(-1),
        num(0),
        num(7),
        id(""), // the empty tuple
        id("a"),
        id("b"),
        id("b", false),
        tup({num(5)}),
        fun("a", {num(1)}),
        fun("a", {num(2)}),
        fun("a", {fun("a", {num(1)})}),
        fun("a", {num(2)}, false),
        fun("b", {num(0)}),
        tup({num(1), num(2)}),
        fun("a", {num(9), num(1)}),
        fun("a", {num(9), num(2)}),
        Symbol::create_string(""),
        Symbol::create_string("A"),
        Symbol::create_string("a"),
        Symbol::create_string("ab"),
        Symbol::create_supremum(),
    };
    for (size_t i = 0; i < sorted.size(); ++i) {
        for (size_t j = 0; j < sorted.size(); ++j) {
            EXPECT_EQ(compare(sorted[i], sorted[j]), i < j ? -1 : (i > j ? 1 : 0))
                << sorted[i].to_string() << " vs " << sorted[j].to_string();
        }
    }
}

TEST(SymbolTest, HashIsStructural) {
    // Hashes depend on content only, never on addresses, so they are the same in every run.
    Symbol f = fun("f", {num(1), Symbol::create_string("x")});
    EXPECT_EQ(f.hash(), fun("f", {num(1), Symbol::create_string("x")}).hash());
    EXPECT_NE(f.hash(), fun("f", {num(1), Symbol::create_string("y")}).hash());
    EXPECT_NE(id("a").hash(), Symbol::create_string("a").hash());
    EXPECT_NE(num(1).hash(), num(2).hash());
}

TEST(SymbolTest, ConcurrentCreationYieldsOneHandlePerSymbol) {
    constexpr int threads = 4;
    constexpr int count = 3000;
    std::vector<std::vector<uint64_t>> handles(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t, &handles] {
            auto& out = handles[t];
            for (int i = 0; i < count; ++i) {
                // threads walk in different directions to collide on fresh symbols
                int k = t % 2 == 0 ? i : count - 1 - i;
                std::string name = "p" + std::to_string(k);
                Symbol s = Symbol::create_function(name, std::vector<Symbol>{Symbol::create_number(k),
                                                                             Symbol::create_string(name)});
                out.push_back(s.rep());
                // reading a node created by another thread must be race free
                EXPECT_EQ(s.to_string(), name + "(" + std::to_string(k) + ",\"" + name + "\")");
            }
            if (t % 2 == 1) {
                std::reverse(out.begin(), out.end());
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    for (int t = 1; t < threads; ++t) {
        EXPECT_EQ(handles[t], handles[0]);
    }
    std::vector<uint64_t> unique = handles[0];
    std::sort(unique.begin(), unique.end());
    EXPECT_EQ(std::unique(unique.begin(), unique.end()), unique.end());
}

TEST(SignatureTest, InternedWithOrderAndPrinting) {
    Signature p2 = Signature::create("p", 2);
    EXPECT_EQ(p2, Signature::create("p", 2, true));
    EXPECT_NE(p2, Signature::create("p", 2, false));
    EXPECT_NE(p2, Signature::create("p", 3));
    EXPECT_STREQ(p2.name(), "p");
    EXPECT_EQ(p2.arity(), 2U);
    EXPECT_TRUE(p2.is_positive());
    EXPECT_EQ(Signature::create("q", 0, false).to_string(), "-q/0");
    EXPECT_EQ(Signature::of(fun("p", {num(1), num(2)})), p2);
    EXPECT_EQ(Signature::of(fun("p", {num(1), num(2)}, false)), Signature::create("p", 2, false));
    EXPECT_THROW(Signature::of(num(3)), std::runtime_error);

    EXPECT_LT(Signature::create("a", 5), Signature::create("b", 0));
    EXPECT_LT(Signature::create("a", 1), Signature::create("a", 2));
    EXPECT_LT(Signature::create("a", 1), Signature::create("a", 1, false));
    EXPECT_EQ(p2.hash(), Signature::create("p", 2).hash());
}

} // namespace
} // namespace Gondra::Symbols
