#include "host/host_error.hpp"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

using namespace Tarvex;

namespace {

struct Reported {
    gondra_error_t code;
    std::string message;
    bool result;
};

template <class F> Reported report(F f) {
    gondra_set_error(gondra_error_success, nullptr);
    bool result = Host::guard(f);
    char const* message = gondra_error_message();
    return {gondra_error_code(), message != nullptr ? message : "<null>", result};
}

// The exception that raise_error throws for a host error state.
std::string raised(gondra_error_t code, char const* message) {
    gondra_set_error(code, message);
    try {
        Host::raise_error();
    } catch (std::bad_alloc const&) {
        return "bad_alloc";
    } catch (std::logic_error const& e) {
        return std::string("logic: ") + e.what();
    } catch (std::runtime_error const& e) {
        return std::string("runtime: ") + e.what();
    }
    return "nothing";
}

} // namespace

TEST(HostError, ExceptionsBecomeErrorCodes) {
    auto overflow = report([] { throw std::overflow_error("integer overflow"); });
    EXPECT_FALSE(overflow.result);
    EXPECT_EQ(overflow.code, gondra_error_runtime);
    EXPECT_EQ(overflow.message, "integer overflow");

    auto syntax = report([] { throw std::runtime_error("Invalid Syntax: invalid sum constraint"); });
    EXPECT_EQ(syntax.code, gondra_error_runtime);
    EXPECT_EQ(syntax.message, "Invalid Syntax: invalid sum constraint");

    auto argument = report([] { throw std::invalid_argument("invalid argument"); });
    EXPECT_EQ(argument.code, gondra_error_logic);
    EXPECT_EQ(argument.message, "invalid argument");

    auto memory = report([] { throw std::bad_alloc(); });
    EXPECT_EQ(memory.code, gondra_error_bad_alloc);
    EXPECT_EQ(memory.message, std::bad_alloc().what());

    auto other = report([] { throw 42; });
    EXPECT_EQ(other.code, gondra_error_unknown);
    EXPECT_EQ(other.message, "unknown error");

    auto fine = report([] {});
    EXPECT_TRUE(fine.result);
    EXPECT_EQ(fine.code, gondra_error_success);
}

TEST(HostError, ErrorCodesBecomeExceptions) {
    EXPECT_EQ(raised(gondra_error_runtime, "bad input"), "runtime: bad input");
    EXPECT_EQ(raised(gondra_error_logic, "broken"), "logic: broken");
    EXPECT_EQ(raised(gondra_error_bad_alloc, "no memory"), "bad_alloc");
    EXPECT_EQ(raised(gondra_error_success, "odd"), "runtime: odd");
    EXPECT_EQ(raised(gondra_error_unknown, "who knows"), "runtime: who knows");
    EXPECT_EQ(raised(gondra_error_runtime, nullptr), "runtime: no message");
    // A failure with a code the host does not define must not pass as success.
    EXPECT_EQ(raised(17, "strange"), "runtime: strange");
    gondra_set_error(gondra_error_logic, "kept");
    EXPECT_NO_THROW(Host::check(true));
    EXPECT_THROW(Host::check(false), std::logic_error);
}

// A host failure that crosses the theory unchanged keeps its code and text.
TEST(HostError, RoundTripKeepsCodeAndMessage) {
    for (gondra_error_t code : {gondra_error_runtime, gondra_error_logic, gondra_error_bad_alloc}) {
        auto result = report([code] {
            gondra_set_error(code, "from the host");
            Host::check(false);
        });
        EXPECT_FALSE(result.result);
        EXPECT_EQ(result.code, code);
        if (code != gondra_error_bad_alloc) {
            EXPECT_EQ(result.message, "from the host");
        }
    }
}
