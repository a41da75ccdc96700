// The failures of the syntax-tree accessors, on nodes the real host builds.

#include "host/ast.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <typeinfo>

using namespace Tarvex;

namespace {

std::string message_of(void (*call)(Host::Ast const&), Host::Ast const& node) {
    try {
        call(node);
    } catch (std::runtime_error const& e) {
        return e.what();
    }
    return "<no error>";
}

TEST(HostAst, AccessorsReportMissingAttributesAndOtherKinds) {
    gondra_location_t location{"f.lp", "f.lp", 1, 1, 1, 2};
    Host::Ast variable = Host::build_variable(location, "X");
    EXPECT_EQ(variable.to_string(), "X");
    EXPECT_STREQ(variable.string(gondra_ast_attribute_name), "X");
    EXPECT_EQ(variable.location(gondra_ast_attribute_location).begin_column, 1u);

    EXPECT_EQ(message_of([](Host::Ast const& n) { n.child(gondra_ast_attribute_head); }, variable),
              "unknown attribute");
    EXPECT_EQ(message_of([](Host::Ast const& n) { n.set_number(gondra_ast_attribute_sign, 1); }, variable),
              "unknow attribute");
    EXPECT_THROW(variable.number(gondra_ast_attribute_name), std::bad_cast);
    EXPECT_THROW(variable.set_number(gondra_ast_attribute_name, 1), std::bad_cast);
    EXPECT_STREQ(variable.string(gondra_ast_attribute_name), "X");

    // A copy is a node of its own.
    Host::Ast copy = variable.copy();
    copy.set_string(gondra_ast_attribute_name, "Y");
    EXPECT_EQ(variable.to_string(), "X");
    EXPECT_EQ(copy.to_string(), "Y");

    Host::Ast number = Host::build_symbolic_term(location, Host::create_number(-7));
    EXPECT_EQ(number.to_string(), "-7");
    EXPECT_EQ(Host::unpool(number).size(), 1u);
}

} // namespace
