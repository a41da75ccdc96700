#include "gondra.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

gondra_symbol_t number(int n) {
    gondra_symbol_t s = 0;
    gondra_symbol_create_number(n, &s);
    return s;
}

gondra_symbol_t function(char const* name, std::vector<gondra_symbol_t> const& args, bool positive = true) {
    gondra_symbol_t s = 0;
    EXPECT_TRUE(gondra_symbol_create_function(name, args.data(), args.size(), positive, &s));
    return s;
}

std::string text(gondra_symbol_t s) {
    size_t size = 0;
    EXPECT_TRUE(gondra_symbol_to_string_size(s, &size));
    std::string buffer(size, '\0');
    EXPECT_TRUE(gondra_symbol_to_string(s, buffer.data(), size));
    EXPECT_EQ(buffer.back(), '\0');
    buffer.pop_back();
    return buffer;
}

TEST(SymbolApiTest, CreateInspectAndPrint) {
    gondra_symbol_t str = 0;
    ASSERT_TRUE(gondra_symbol_create_string("say \"hi\"\n", &str));
    gondra_symbol_t neg = 0;
    ASSERT_TRUE(gondra_symbol_create_id("a", false, &neg));
    gondra_symbol_t f = function("f", {number(-3), str, function("", {neg})});
    EXPECT_EQ(text(f), R"(f(-3,"say \"hi\"\n",(-a,)))");
    EXPECT_EQ(gondra_symbol_type(f), gondra_symbol_type_function);

    char const* name = nullptr;
    ASSERT_TRUE(gondra_symbol_name(f, &name));
    EXPECT_STREQ(name, "f");
    gondra_symbol_t const* args = nullptr;
    size_t size = 0;
    ASSERT_TRUE(gondra_symbol_arguments(f, &args, &size));
    ASSERT_EQ(size, 3U);
    int value = 0;
    ASSERT_TRUE(gondra_symbol_number(args[0], &value));
    EXPECT_EQ(value, -3);
    char const* s = nullptr;
    ASSERT_TRUE(gondra_symbol_string(args[1], &s));
    EXPECT_STREQ(s, "say \"hi\"\n");
    bool negative = false;
    ASSERT_TRUE(gondra_symbol_is_negative(neg, &negative));
    EXPECT_TRUE(negative);

    gondra_symbol_t inf = 0, sup = 0;
    gondra_symbol_create_infimum(&inf);
    gondra_symbol_create_supremum(&sup);
    EXPECT_EQ(text(inf), "#inf");
    EXPECT_TRUE(gondra_symbol_is_less_than(inf, number(-5)));
    EXPECT_TRUE(gondra_symbol_is_less_than(number(5), f));
    EXPECT_TRUE(gondra_symbol_is_less_than(f, str));
    EXPECT_TRUE(gondra_symbol_is_less_than(str, sup));
    EXPECT_FALSE(gondra_symbol_is_less_than(sup, sup));
    EXPECT_TRUE(gondra_symbol_is_equal_to(f, function("f", {number(-3), str, function("", {neg})})));
    EXPECT_EQ(gondra_symbol_hash(f), gondra_symbol_hash(function("f", {number(-3), str, function("", {neg})})));
}

TEST(SymbolApiTest, WrongKindsAndBadArgumentsSetTheErrorState) {
    int value = 0;
    gondra_symbol_t str = 0;
    ASSERT_TRUE(gondra_symbol_create_string("x", &str));
    EXPECT_FALSE(gondra_symbol_number(str, &value));
    EXPECT_EQ(gondra_error_code(), gondra_error_runtime);
    EXPECT_STREQ(gondra_error_message(), "symbol is not a number");

    char const* name = nullptr;
    EXPECT_FALSE(gondra_symbol_name(number(1), &name));
    EXPECT_EQ(gondra_error_code(), gondra_error_runtime);
    bool positive = false;
    EXPECT_FALSE(gondra_symbol_is_positive(str, &positive));

    gondra_symbol_t out = 0;
    EXPECT_FALSE(gondra_symbol_create_function("f", nullptr, 2, true, &out));
    EXPECT_FALSE(gondra_symbol_create_string(nullptr, &out));
    EXPECT_TRUE(gondra_symbol_create_function("f", nullptr, 0, true, &out));

    char small[3];
    EXPECT_FALSE(gondra_symbol_to_string(number(1234), small, sizeof(small)));
}

TEST(SymbolApiTest, SignaturesAndInternedStrings) {
    gondra_signature_t p = 0, q = 0, np = 0;
    ASSERT_TRUE(gondra_signature_create("p", 2, true, &p));
    ASSERT_TRUE(gondra_signature_create("q", 0, true, &q));
    ASSERT_TRUE(gondra_signature_create("p", 2, false, &np));
    gondra_signature_t again = 0;
    ASSERT_TRUE(gondra_signature_create("p", 2, true, &again));
    EXPECT_TRUE(gondra_signature_is_equal_to(p, again));
    EXPECT_EQ(gondra_signature_hash(p), gondra_signature_hash(again));
    EXPECT_FALSE(gondra_signature_is_equal_to(p, np));
    EXPECT_STREQ(gondra_signature_name(p), "p");
    EXPECT_EQ(gondra_signature_arity(p), 2U);
    EXPECT_TRUE(gondra_signature_is_negative(np));
    EXPECT_TRUE(gondra_signature_is_positive(q));
    EXPECT_TRUE(gondra_signature_is_less_than(p, q));
    EXPECT_TRUE(gondra_signature_is_less_than(p, np));

    std::string temporary = "transient";
    char const* first = nullptr;
    ASSERT_TRUE(gondra_add_string(temporary.c_str(), &first));
    temporary = "overwritten";
    char const* second = nullptr;
    ASSERT_TRUE(gondra_add_string("transient", &second));
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "transient");
}

TEST(SymbolApiTest, ConcurrentCreationThroughTheInterface) {
    constexpr int threads = 4;
    std::vector<std::vector<gondra_symbol_t>> results(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t, &results] {
            for (int i = 0; i < 2000; ++i) {
                gondra_symbol_t arg = 0;
                gondra_symbol_t s = 0;
                std::string name = "n" + std::to_string(i % 500);
                bool ok = gondra_symbol_create_string(name.c_str(), &arg) &&
                          gondra_symbol_create_function(name.c_str(), &arg, 1, true, &s);
                results[t].push_back(ok ? s : 0);
            }
        });
    }
    for (auto& worker : workers) {
        worker.join();
    }
    for (int t = 1; t < threads; ++t) {
        EXPECT_EQ(results[t], results[0]);
    }
    EXPECT_EQ(results[0][0], results[0][500]);
    EXPECT_EQ(text(results[0][7]), "n7(\"n7\")");
}

} // namespace
