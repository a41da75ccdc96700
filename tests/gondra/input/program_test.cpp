#include "input/parser.hpp"
#include "input/program.hpp"

#include <gtest/gtest.h>

using namespace Gondra::Input;

TEST(Program, StatementsGoToTheirPart) {
    Messages messages;
    Program program;
    ProgramBuilder builder{program};
    EXPECT_THROW(builder.add(make_node(AstType::Show, {Location{}})), std::logic_error);
    builder.begin();
    for (auto const& s : parse_statements("a. #program step(t). b(t). #program base. c. #program step(u). d(u).", messages))
        builder.add(s);
    builder.end();
    ASSERT_TRUE(messages.empty());
    ASSERT_EQ(program.parts().size(), 2u);
    EXPECT_EQ(program.find("base")->statements.size(), 2u);
    EXPECT_EQ(program.find("step")->statements.size(), 2u);
    EXPECT_EQ(program.find("step")->parameters, std::vector<std::string>{"t"});
    // Terms are not statements; a part may not change its arity.
    EXPECT_THROW(program.add(make_variable(Location{}, "X")), std::invalid_argument);
    auto bad = parse_statements("#program step(a,b).", messages);
    EXPECT_THROW(program.add(bad.at(0)), std::runtime_error);
}
