#include "input/parser.hpp"

#include "input/lexer.hpp"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <limits>
#include <optional>
#include <sstream>

namespace Gondra::Input {

namespace {

using Symbols::Symbol;

// Unwinds the parse of one statement; the message is already reported when
// `reported` is set (lexer errors).
struct SyntaxError {
    bool reported;
};

// The application's callback asked to stop.
struct StopParse {};

// Drops lexer messages while text is lexed a second time.
struct Muted {
    Messages& messages;
    bool before;
    explicit Muted(Messages& m) : messages{m}, before{m.muted()} { m.set_muted(true); }
    ~Muted() { messages.set_muted(before); }
};

std::optional<ComparisonOperator> comparison_of(TokenKind kind) {
    switch (kind) {
    case TokenKind::Equal: return ComparisonOperator::Equal;
    case TokenKind::NotEqual: return ComparisonOperator::NotEqual;
    case TokenKind::Less: return ComparisonOperator::LessThan;
    case TokenKind::LessEqual: return ComparisonOperator::LessEqual;
    case TokenKind::Greater: return ComparisonOperator::GreaterThan;
    case TokenKind::GreaterEqual: return ComparisonOperator::GreaterEqual;
    default: return std::nullopt;
    }
}

bool is_atom_term(Node const& t) {
    switch (t.type()) {
    case AstType::Function: return t.number(Attribute::External) == 0 && *t.string(Attribute::Name) != '\0';
    case AstType::UnaryOperation: {
        // Classical negation of an atom or of a pool of atoms ("-p(1;2)").
        Node const& arg = *t.node(Attribute::Argument);
        return t.number(Attribute::OperatorType) == static_cast<int>(UnaryOperator::Minus) &&
               (arg.type() == AstType::Function || arg.type() == AstType::Pool) && is_atom_term(arg);
    }
    case AstType::Pool:
        for (auto const& a : t.nodes(Attribute::Arguments))
            if (!is_atom_term(*a)) return false;
        return true;
    default: return false;
    }
}

} // namespace

class SourceParser {
public:
    SourceParser(Parser& owner, std::string_view text, char const* file, std::string directory)
        : owner_{owner}, lexer_{text, file, owner.messages_}, directory_{std::move(directory)} {}

    void run() {
        advance();
        while (cur_.kind != TokenKind::End) {
            try {
                statement();
            } catch (SyntaxError const& e) {
                if (!e.reported) syntax_error_here();
                recover();
            } catch (LocatedError const& e) {
                owner_.messages_.error(e.location(), e.text());
                recover();
            }
        }
    }

private:
    // ---- tokens -------------------------------------------------------------

    void advance() { take(false); }
    void advance_theory() { take(true); }
    void take(bool theory) {
        last_end_ = cur_.location;
        cur_ = lexer_.next(theory);
    }
    // Re-lex the current token in the other mode.
    void relex(bool theory) {
        lexer_.reset(cur_.offset, cur_.location.begin_line, cur_.location.begin_column);
        Muted muted{owner_.messages_};
        cur_ = lexer_.next(theory);
    }

    [[noreturn]] void fail(std::string const& text) {
        if (cur_.kind == TokenKind::Error) throw SyntaxError{true};
        throw LocatedError(cur_.location, text);
    }
    void syntax_error_here() {
        owner_.messages_.error(cur_.location, unexpected());
    }
    std::string unexpected() const {
        std::string what;
        switch (cur_.kind) {
        case TokenKind::Identifier:
        case TokenKind::Variable: what = "'" + cur_.text + "'"; break;
        case TokenKind::Directive: what = "'#" + cur_.text + "'"; break;
        case TokenKind::Number: what = "number"; break;
        case TokenKind::String: what = "string"; break;
        case TokenKind::End: what = "end of input"; break;
        case TokenKind::TheoryOperator: what = "'" + cur_.text + "'"; break;
        default: what = std::string{"'"} + token_description(cur_.kind) + "'"; break;
        }
        return "syntax error, unexpected " + what;
    }
    [[noreturn]] void fail_expected(char const* expected) { fail(unexpected() + ", expected " + expected); }

    void expect(TokenKind kind, bool theory = false) {
        if (cur_.kind != kind) fail_expected(token_description(kind));
        take(theory);
    }
    bool accept(TokenKind kind) {
        if (cur_.kind != kind) return false;
        advance();
        return true;
    }
    bool is_identifier(char const* text) const { return cur_.kind == TokenKind::Identifier && cur_.text == text; }
    bool is_directive(char const* text) const { return cur_.kind == TokenKind::Directive && cur_.text == text; }

    Location from(Location const& start) const {
        Location loc = start;
        loc.end_file = last_end_.end_file;
        loc.end_line = last_end_.end_line;
        loc.end_column = last_end_.end_column;
        return loc;
    }

    // Skip to the end of the broken statement.
    void recover() {
        relex(false);
        while (cur_.kind != TokenKind::End && cur_.kind != TokenKind::Dot) advance();
        if (cur_.kind == TokenKind::Dot) advance();
    }

    struct DepthGuard {
        SourceParser& p;
        explicit DepthGuard(SourceParser& parser) : p{parser} {
            if (++p.depth_ > p.owner_.options_.max_depth) {
                --p.depth_;
                p.fail("nesting too deep");
            }
        }
        ~DepthGuard() { --p.depth_; }
    };

    void emit(NodePtr const& statement) {
        if (!owner_.callback_(statement)) {
            owner_.stopped_ = true;
            throw StopParse{};
        }
    }

    // ---- statements ---------------------------------------------------------

    void statement() {
        Location start = cur_.location;
        if (cur_.kind == TokenKind::Directive) {
            std::string const& d = cur_.text;
            if (d == "const") return const_directive(start);
            if (d == "show") return show_directive(start);
            if (d == "minimize" || d == "maximize") return minimize_directive(start, d == "maximize");
            if (d == "program") return program_directive(start);
            if (d == "include") return include_directive(start);
            if (d == "external") return external_directive(start);
            if (d == "defined") return defined_directive(start);
            if (d == "theory") return theory_directive(start);
            if (d != "true" && d != "false" && d != "count" && d != "sum" && d != "min" && d != "max" &&
                d != "inf" && d != "sup")
                fail("unknown directive '#" + d + "'");
        }
        if (cur_.kind == TokenKind::Weak) return weak_constraint(start);
        NodePtr head;
        if (cur_.kind == TokenKind::If) {
            head = make_literal(cur_.location, Sign::None, make_boolean_constant(false));
        } else {
            head = parse_head();
        }
        NodeArray body;
        if (accept(TokenKind::If)) body = parse_body();
        expect(TokenKind::Dot);
        emit(make_node(AstType::Rule, {from(start), head, std::move(body)}));
    }

    void const_directive(Location const& start) {
        advance();
        if (cur_.kind != TokenKind::Identifier) fail_expected("identifier");
        std::string name = cur_.text;
        advance();
        expect(TokenKind::Equal);
        NodePtr value = term();
        int is_default = 1;
        if (accept(TokenKind::LBracket)) {
            if (is_identifier("default")) is_default = 1;
            else if (is_identifier("override")) is_default = 0;
            else fail_expected("default or override");
            advance();
            expect(TokenKind::RBracket);
        }
        expect(TokenKind::Dot);
        emit(make_node(AstType::Definition, {from(start), intern(name), value, is_default}));
    }

    // name/arity with an optional leading '-' for a classically negated signature.
    bool signature_follows() {
        Token saved = cur_;
        Location saved_end = last_end_;
        if (cur_.kind == TokenKind::Error) return false;
        bool ok = true;
        {
        Muted muted{owner_.messages_};
        if (cur_.kind == TokenKind::Minus) advance();
        if (cur_.kind != TokenKind::Identifier) ok = false;
        if (ok) advance();
        if (ok && cur_.kind != TokenKind::Slash) ok = false;
        if (ok) advance();
        if (ok && cur_.kind != TokenKind::Number) ok = false;
        if (ok) advance();
        if (ok && cur_.kind != TokenKind::Dot) ok = false;
        }
        cur_ = saved;
        last_end_ = saved_end;
        relex(false);
        return ok;
    }

    struct SignatureParts {
        std::string name;
        int arity;
        bool positive;
    };
    SignatureParts signature() {
        bool positive = !accept(TokenKind::Minus);
        if (cur_.kind != TokenKind::Identifier) fail_expected("identifier");
        std::string name = cur_.text;
        advance();
        expect(TokenKind::Slash);
        if (cur_.kind != TokenKind::Number) fail_expected("number");
        int arity = number_value();
        advance();
        return {name, arity, positive};
    }

    void show_directive(Location const& start) {
        advance();
        if (accept(TokenKind::Dot)) {
            emit(make_node(AstType::Show, {from(start)}));
            return;
        }
        if (signature_follows()) {
            auto sig = signature();
            expect(TokenKind::Dot);
            emit(make_node(AstType::ShowSignature,
                           {from(start), intern(sig.name), sig.arity, sig.positive ? 1 : 0}));
            return;
        }
        NodePtr t = term();
        NodeArray body;
        if (accept(TokenKind::Colon)) body = parse_body();
        expect(TokenKind::Dot);
        emit(make_node(AstType::ShowTerm, {from(start), t, std::move(body)}));
    }

    void defined_directive(Location const& start) {
        advance();
        auto sig = signature();
        expect(TokenKind::Dot);
        emit(make_node(AstType::Defined, {from(start), intern(sig.name), sig.arity, sig.positive ? 1 : 0}));
    }

    NodePtr zero(Location const& loc) { return make_symbolic_term(loc, Symbol::create_number(0)); }

    NodePtr negate(Location const& loc, NodePtr t) {
        return make_node(AstType::UnaryOperation, {loc, static_cast<int>(UnaryOperator::Minus), std::move(t)});
    }

    // w[@p] [, t, ...]
    void weight_tuple(NodePtr& weight, NodePtr& priority, NodeArray& terms) {
        weight = term();
        if (accept(TokenKind::At)) priority = term();
        else priority = zero(last_end_);
        while (accept(TokenKind::Comma)) terms.push_back(term());
    }

    void minimize_directive(Location const& start, bool maximize) {
        advance();
        expect(TokenKind::LBrace);
        std::vector<NodePtr> statements;
        if (cur_.kind != TokenKind::RBrace) {
            for (;;) {
                Location el = cur_.location;
                NodePtr weight, priority;
                NodeArray terms, body;
                weight_tuple(weight, priority, terms);
                if (accept(TokenKind::Colon)) body = condition();
                if (maximize) weight = negate(weight->location(), weight);
                statements.push_back(make_node(AstType::Minimize, {from(el), weight, priority, terms, body}));
                if (!accept(TokenKind::Semicolon)) break;
            }
        }
        expect(TokenKind::RBrace);
        expect(TokenKind::Dot);
        (void)start;
        for (auto const& s : statements) emit(s);
    }

    void weak_constraint(Location const& start) {
        advance();
        NodeArray body;
        if (cur_.kind != TokenKind::Dot) body = parse_body();
        expect(TokenKind::Dot);
        expect(TokenKind::LBracket);
        NodePtr weight, priority;
        NodeArray terms;
        weight_tuple(weight, priority, terms);
        expect(TokenKind::RBracket);
        emit(make_node(AstType::Minimize, {from(start), weight, priority, terms, body}));
    }

    void program_directive(Location const& start) {
        advance();
        if (cur_.kind != TokenKind::Identifier) fail_expected("identifier");
        std::string name = cur_.text;
        advance();
        NodeArray params;
        if (accept(TokenKind::LParen)) {
            if (cur_.kind != TokenKind::RParen) {
                for (;;) {
                    if (cur_.kind != TokenKind::Identifier) fail_expected("identifier");
                    params.push_back(make_id(cur_.location, cur_.text));
                    advance();
                    if (!accept(TokenKind::Comma)) break;
                }
            }
            expect(TokenKind::RParen);
        }
        expect(TokenKind::Dot);
        emit(make_node(AstType::Program, {from(start), intern(name), std::move(params)}));
    }

    void include_directive(Location const& start) {
        advance();
        if (cur_.kind != TokenKind::String) fail_expected("string");
        std::string path = cur_.text;
        advance();
        if (cur_.kind != TokenKind::Dot) fail_expected(".");
        Location loc = from(start);
        if (!owner_.options_.allow_includes) throw LocatedError(loc, "#include is not allowed here");
        // The dot is consumed only after the included file: a failing include
        // then leaves it for error recovery, which would otherwise skip the
        // whole next statement looking for the end of this one.
        owner_.include(path, directory_, loc);
        advance();
    }

    void external_directive(Location const& start) {
        advance();
        NodePtr t = term();
        if (!is_atom_term(*t)) throw LocatedError(t->location(), "syntax error, expected atom");
        NodePtr atom = make_node(AstType::SymbolicAtom, {t});
        NodeArray body;
        if (accept(TokenKind::Colon)) body = condition();
        expect(TokenKind::Dot);
        emit(make_node(AstType::External, {from(start), atom, std::move(body)}));
    }

    // ---- theory definitions ---------------------------------------------------

    void theory_directive(Location const& start) {
        advance();
        if (cur_.kind != TokenKind::Identifier) fail_expected("identifier");
        std::string name = cur_.text;
        advance();
        if (cur_.kind != TokenKind::LBrace) fail_expected("{");
        advance_theory();
        NodeArray terms, atoms;
        if (cur_.kind != TokenKind::RBrace) {
            for (;;) {
                if (cur_.kind == TokenKind::Identifier) terms.push_back(term_definition());
                else if (cur_.kind == TokenKind::TheoryOperator && cur_.text == "&") atoms.push_back(atom_definition());
                else fail_expected("term or atom definition");
                if (cur_.kind == TokenKind::Semicolon) {
                    advance_theory();
                    continue;
                }
                break;
            }
        }
        if (cur_.kind != TokenKind::RBrace) fail_expected("; or }");
        advance_theory();
        if (cur_.kind != TokenKind::Dot) fail_expected(".");
        advance();
        emit(make_node(AstType::TheoryDefinition, {from(start), intern(name), std::move(terms), std::move(atoms)}));
    }

    // The value of the current number token, which must fit 32 bits.
    int32_t number_value() const {
        if (cur_.number > std::numeric_limits<int32_t>::max()) throw LocatedError(cur_.location, "number out of range");
        return static_cast<int32_t>(cur_.number);
    }

    int theory_number() {
        if (cur_.kind != TokenKind::Number) fail_expected("number");
        int n = number_value();
        advance_theory();
        return n;
    }
    std::string theory_identifier() {
        if (cur_.kind != TokenKind::Identifier) fail_expected("identifier");
        std::string s = cur_.text;
        advance_theory();
        return s;
    }
    void theory_expect(TokenKind kind) { expect(kind, true); }

    NodePtr term_definition() {
        Location start = cur_.location;
        std::string name = theory_identifier();
        theory_expect(TokenKind::LBrace);
        NodeArray ops;
        if (cur_.kind != TokenKind::RBrace) {
            for (;;) {
                Location op_start = cur_.location;
                if (cur_.kind != TokenKind::TheoryOperator) fail_expected("theory operator");
                std::string op = cur_.text;
                advance_theory();
                theory_expect(TokenKind::Colon);
                int priority = theory_number();
                theory_expect(TokenKind::Comma);
                TheoryOperatorType type;
                std::string kind = theory_identifier();
                if (kind == "unary") {
                    type = TheoryOperatorType::Unary;
                } else if (kind == "binary") {
                    theory_expect(TokenKind::Comma);
                    std::string assoc = theory_identifier();
                    if (assoc == "left") type = TheoryOperatorType::BinaryLeft;
                    else if (assoc == "right") type = TheoryOperatorType::BinaryRight;
                    else throw LocatedError(last_end_, "expected left or right");
                } else {
                    throw LocatedError(last_end_, "expected unary or binary");
                }
                ops.push_back(make_node(AstType::TheoryOperatorDefinition,
                                        {from(op_start), intern(op), priority, static_cast<int>(type)}));
                if (cur_.kind == TokenKind::Semicolon) {
                    advance_theory();
                    continue;
                }
                break;
            }
        }
        theory_expect(TokenKind::RBrace);
        return make_node(AstType::TheoryTermDefinition, {from(start), intern(name), std::move(ops)});
    }

    NodePtr atom_definition() {
        Location start = cur_.location;
        advance_theory(); // &
        std::string name = theory_identifier();
        if (cur_.kind != TokenKind::TheoryOperator || cur_.text != "/") fail_expected("/");
        advance_theory();
        int arity = theory_number();
        theory_expect(TokenKind::Colon);
        std::string group = theory_identifier();
        theory_expect(TokenKind::Comma);
        OptionalNode guard;
        if (cur_.kind == TokenKind::LBrace) {
            advance_theory();
            StringArray relations;
            if (cur_.kind != TokenKind::RBrace) {
                for (;;) {
                    if (cur_.kind != TokenKind::TheoryOperator) fail_expected("theory operator");
                    relations.push_back(intern(cur_.text));
                    advance_theory();
                    if (cur_.kind != TokenKind::Comma) break;
                    advance_theory();
                }
            }
            theory_expect(TokenKind::RBrace);
            theory_expect(TokenKind::Comma);
            std::string guard_group = theory_identifier();
            theory_expect(TokenKind::Comma);
            guard.node = make_node(AstType::TheoryGuardDefinition, {std::move(relations), intern(guard_group)});
        }
        Location type_loc = cur_.location;
        std::string position = theory_identifier();
        TheoryAtomType type;
        if (position == "head") type = TheoryAtomType::Head;
        else if (position == "body") type = TheoryAtomType::Body;
        else if (position == "any") type = TheoryAtomType::Any;
        else if (position == "directive") type = TheoryAtomType::Directive;
        else throw LocatedError(type_loc, "expected head, body, any or directive");
        return make_node(AstType::TheoryAtomDefinition,
                         {from(start), static_cast<int>(type), intern(name), arity, intern(group), std::move(guard)});
    }

    // ---- heads and bodies -----------------------------------------------------

    bool aggregate_function_follows() const {
        return cur_.kind == TokenKind::Directive &&
               (cur_.text == "count" || cur_.text == "sum" || cur_.text == "min" || cur_.text == "max");
    }

    NodePtr parse_head() {
        Location start = cur_.location;
        if (cur_.kind == TokenKind::Ampersand) return theory_atom();
        if (cur_.kind == TokenKind::LBrace) return choice(start, OptionalNode{});
        if (aggregate_function_follows()) fail("aggregates other than choices are not supported in rule heads");
        if (is_directive("true") || is_directive("false")) {
            bool value = is_directive("true");
            advance();
            return make_literal(from(start), Sign::None, make_boolean_constant(value));
        }
        NodePtr t = term();
        if (auto op = comparison_of(cur_.kind)) {
            advance();
            if (cur_.kind != TokenKind::LBrace) fail_expected("{");
            return choice(start, OptionalNode{make_guard(*op, t)});
        }
        if (cur_.kind == TokenKind::LBrace)
            return choice(start, OptionalNode{make_guard(ComparisonOperator::LessEqual, t)});
        NodePtr lit = atom_literal(t);
        if (cur_.kind != TokenKind::Colon && cur_.kind != TokenKind::Semicolon && cur_.kind != TokenKind::Bar)
            return lit;
        NodeArray elements;
        for (;;) {
            NodeArray cond;
            if (accept(TokenKind::Colon)) cond = condition();
            Location lit_loc = lit->location();
            elements.push_back(make_node(AstType::ConditionalLiteral, {from(lit_loc), lit, std::move(cond)}));
            if (!accept(TokenKind::Semicolon) && !accept(TokenKind::Bar)) break;
            Location next = cur_.location;
            NodePtr u = term();
            lit = atom_literal(u);
            (void)next;
        }
        return make_node(AstType::Disjunction, {from(start), std::move(elements)});
    }

    NodePtr atom_literal(NodePtr const& t) {
        if (!is_atom_term(*t)) throw LocatedError(t->location(), "syntax error, expected atom");
        return make_literal(t->location(), Sign::None, make_node(AstType::SymbolicAtom, {t}));
    }

    NodePtr make_guard(ComparisonOperator op, NodePtr t) {
        return make_node(AstType::AggregateGuard, {static_cast<int>(op), std::move(t)});
    }

    bool term_starts() const {
        switch (cur_.kind) {
        case TokenKind::Number:
        case TokenKind::String:
        case TokenKind::Variable:
        case TokenKind::Anonymous:
        case TokenKind::LParen:
        case TokenKind::Minus:
        case TokenKind::Tilde:
        case TokenKind::Bar: return true;
        case TokenKind::Identifier: return cur_.text != "not";
        case TokenKind::Directive: return cur_.text == "inf" || cur_.text == "sup";
        default: return false;
        }
    }

    OptionalNode right_guard() {
        if (auto op = comparison_of(cur_.kind)) {
            advance();
            return OptionalNode{make_guard(*op, term())};
        }
        if (term_starts()) return OptionalNode{make_guard(ComparisonOperator::LessEqual, term())};
        return {};
    }

    NodePtr choice(Location const& start, OptionalNode left) {
        expect(TokenKind::LBrace);
        NodeArray elements;
        if (cur_.kind != TokenKind::RBrace) {
            for (;;) {
                Location el = cur_.location;
                NodePtr lit = atom_literal(term());
                NodeArray cond;
                if (accept(TokenKind::Colon)) cond = condition();
                elements.push_back(make_node(AstType::ConditionalLiteral, {from(el), lit, std::move(cond)}));
                if (!accept(TokenKind::Semicolon)) break;
            }
        }
        expect(TokenKind::RBrace);
        OptionalNode right = right_guard();
        return make_node(AstType::Aggregate, {from(start), std::move(left), std::move(elements), std::move(right)});
    }

    NodeArray parse_body() {
        NodeArray body;
        for (;;) {
            body.push_back(body_element());
            if (!accept(TokenKind::Comma) && !accept(TokenKind::Semicolon)) break;
        }
        return body;
    }

    // Literals separated by commas (conditions of elements and directives).
    NodeArray condition() {
        NodeArray cond;
        // An empty condition ends where the element does, also before the
        // body of a rule whose head is one conditional literal ("a: :- b.").
        if (cur_.kind == TokenKind::Semicolon || cur_.kind == TokenKind::RBrace || cur_.kind == TokenKind::Dot ||
            cur_.kind == TokenKind::Bar || cur_.kind == TokenKind::If)
            return cond;
        for (;;) {
            cond.push_back(simple_literal());
            if (!accept(TokenKind::Comma)) break;
        }
        return cond;
    }

    Sign sign() {
        if (!is_identifier("not")) return Sign::None;
        advance();
        if (!is_identifier("not")) return Sign::Negation;
        advance();
        return Sign::DoubleNegation;
    }

    NodePtr simple_literal() {
        Location start = cur_.location;
        Sign s = sign();
        NodePtr atom = simple_atom();
        return make_literal(from(start), s, atom);
    }

    NodePtr simple_atom() {
        if (is_directive("true") || is_directive("false")) {
            bool value = is_directive("true");
            advance();
            return make_boolean_constant(value);
        }
        NodePtr t = term();
        if (auto op = comparison_of(cur_.kind)) {
            advance();
            NodePtr u = term();
            return make_node(AstType::Comparison, {static_cast<int>(*op), t, u});
        }
        if (!is_atom_term(*t)) throw LocatedError(t->location(), "syntax error, expected atom");
        return make_node(AstType::SymbolicAtom, {t});
    }

    NodePtr body_element() {
        Location start = cur_.location;
        Sign s = sign();
        NodePtr atom;
        bool aggregate = false;
        if (cur_.kind == TokenKind::Ampersand) {
            atom = theory_atom();
            aggregate = true;
        } else if (aggregate_function_follows() || cur_.kind == TokenKind::LBrace) {
            atom = body_aggregate(start, OptionalNode{});
            aggregate = true;
        } else if (is_directive("true") || is_directive("false")) {
            atom = simple_atom();
        } else {
            NodePtr t = term();
            if (auto op = comparison_of(cur_.kind)) {
                advance();
                if (aggregate_function_follows() || cur_.kind == TokenKind::LBrace) {
                    atom = body_aggregate(t->location(), OptionalNode{make_guard(*op, t)});
                    aggregate = true;
                } else {
                    atom = make_node(AstType::Comparison, {static_cast<int>(*op), t, term()});
                }
            } else if (aggregate_function_follows() || cur_.kind == TokenKind::LBrace) {
                atom = body_aggregate(t->location(), OptionalNode{make_guard(ComparisonOperator::LessEqual, t)});
                aggregate = true;
            } else {
                if (!is_atom_term(*t)) throw LocatedError(t->location(), "syntax error, expected atom");
                atom = make_node(AstType::SymbolicAtom, {t});
            }
        }
        NodePtr lit = make_literal(from(start), s, atom);
        if (!aggregate && cur_.kind == TokenKind::Colon) {
            advance();
            NodeArray cond = condition();
            return make_node(AstType::ConditionalLiteral, {from(start), lit, std::move(cond)});
        }
        return lit;
    }

    NodePtr body_aggregate(Location const& start, OptionalNode left) {
        if (cur_.kind == TokenKind::LBrace) {
            advance();
            NodeArray elements;
            if (cur_.kind != TokenKind::RBrace) {
                for (;;) {
                    Location el = cur_.location;
                    NodePtr lit = simple_literal();
                    NodeArray cond;
                    if (accept(TokenKind::Colon)) cond = condition();
                    elements.push_back(make_node(AstType::ConditionalLiteral, {from(el), lit, std::move(cond)}));
                    if (!accept(TokenKind::Semicolon)) break;
                }
            }
            expect(TokenKind::RBrace);
            OptionalNode right = right_guard();
            return make_node(AstType::Aggregate,
                             {from(start), std::move(left), std::move(elements), std::move(right)});
        }
        AggregateFunction fun = AggregateFunction::Count;
        if (cur_.text == "sum") {
            fun = AggregateFunction::Sum;
            Token word = cur_;
            advance();
            // "#sum+" only when the plus is written right after the word.
            if (cur_.kind == TokenKind::Plus && cur_.offset == word.offset + 4) {
                fun = AggregateFunction::SumPlus;
                advance();
            }
        } else {
            if (cur_.text == "min") fun = AggregateFunction::Min;
            else if (cur_.text == "max") fun = AggregateFunction::Max;
            advance();
        }
        expect(TokenKind::LBrace);
        NodeArray elements;
        if (cur_.kind != TokenKind::RBrace) {
            for (;;) {
                NodeArray terms;
                if (cur_.kind != TokenKind::Colon && cur_.kind != TokenKind::Semicolon &&
                    cur_.kind != TokenKind::RBrace) {
                    for (;;) {
                        terms.push_back(term());
                        if (!accept(TokenKind::Comma)) break;
                    }
                }
                NodeArray cond;
                if (accept(TokenKind::Colon)) cond = condition();
                elements.push_back(make_node(AstType::BodyAggregateElement, {std::move(terms), std::move(cond)}));
                if (!accept(TokenKind::Semicolon)) break;
            }
        }
        expect(TokenKind::RBrace);
        OptionalNode right = right_guard();
        return make_node(AstType::BodyAggregate, {from(start), std::move(left), static_cast<int>(fun),
                                                  std::move(elements), std::move(right)});
    }

    // ---- theory atoms -----------------------------------------------------------

    NodePtr theory_atom() {
        Location start = cur_.location;
        expect(TokenKind::Ampersand);
        if (cur_.kind != TokenKind::Identifier) fail_expected("identifier");
        Location name_loc = cur_.location;
        std::string name = cur_.text;
        advance();
        NodeArray args;
        if (cur_.kind == TokenKind::LParen) {
            auto alternatives = argument_list(false);
            if (alternatives.size() != 1) throw LocatedError(from(name_loc), "pools are not allowed in theory atom names");
            args = std::move(alternatives.front().terms);
        }
        NodePtr name_term = make_function(from(name_loc), name, std::move(args));
        if (cur_.kind != TokenKind::LBrace) fail_expected("{");
        advance_theory();
        NodeArray elements;
        if (cur_.kind != TokenKind::RBrace) {
            for (;;) {
                NodeArray terms;
                if (cur_.kind != TokenKind::Colon && cur_.kind != TokenKind::Semicolon &&
                    cur_.kind != TokenKind::RBrace) {
                    for (;;) {
                        terms.push_back(theory_term());
                        if (cur_.kind != TokenKind::Comma) break;
                        advance_theory();
                    }
                }
                NodeArray cond;
                if (cur_.kind == TokenKind::Colon) {
                    advance();
                    cond = condition();
                    relex(true);
                }
                elements.push_back(make_node(AstType::TheoryAtomElement, {std::move(terms), std::move(cond)}));
                if (cur_.kind != TokenKind::Semicolon) break;
                advance_theory();
            }
        }
        if (cur_.kind != TokenKind::RBrace) fail_expected("; or }");
        advance_theory();
        OptionalNode guard;
        if (cur_.kind == TokenKind::TheoryOperator) {
            std::string op = cur_.text;
            advance_theory();
            NodePtr t = theory_term(true);
            guard.node = make_node(AstType::TheoryGuard, {intern(op), t});
        }
        relex(false);
        return make_node(AstType::TheoryAtom, {from(start), name_term, std::move(elements), std::move(guard)});
    }

    // A sequence of operators and simple terms, kept unparsed until the
    // operator table of the atom's term group is known. A guard keeps the
    // parentheses of "= (x + y)": its relation may yet lose unary operators
    // to the term ("=-(x + y)" is lexed with the run "=-").
    NodePtr theory_term(bool keep_parentheses = false) {
        DepthGuard guard{*this};
        Location start = cur_.location;
        NodeArray elements;
        bool plain = true;
        for (;;) {
            StringArray ops;
            while (cur_.kind == TokenKind::TheoryOperator) {
                ops.push_back(intern(cur_.text));
                advance_theory();
            }
            NodePtr t;
            std::string_view last = ops.empty() ? std::string_view{} : std::string_view{ops.back()};
            // A run after an operand starts with its binary operator; a
            // trailing minus is unary only when something is left for that.
            bool unary_minus = last.ends_with('-') && (elements.empty() || ops.size() > 1 || last.size() > 1);
            if (unary_minus && cur_.kind == TokenKind::Number &&
                cur_.number == int64_t{std::numeric_limits<int32_t>::max()} + 1) {
                // As in ordinary terms, "- 2147483648" is the smallest integer.
                if (last.size() == 1) ops.pop_back();
                else ops.back() = intern(last.substr(0, last.size() - 1));
                Location number_start = cur_.location;
                advance_theory();
                t = make_symbolic_term(from(number_start),
                                       Symbol::create_number(std::numeric_limits<int32_t>::min()));
            } else {
                t = theory_simple();
            }
            if (!ops.empty()) plain = false;
            elements.push_back(make_node(AstType::TheoryUnparsedTermElement, {std::move(ops), t}));
            if (cur_.kind != TokenKind::TheoryOperator) break;
            plain = false;
        }
        if (plain && !(keep_parentheses && elements.front()->node(Attribute::Term)->type() == AstType::TheoryUnparsedTerm))
            return elements.front()->node(Attribute::Term);
        return make_node(AstType::TheoryUnparsedTerm, {from(start), std::move(elements)});
    }

    NodeArray theory_arguments(TokenKind close) {
        NodeArray terms;
        if (cur_.kind != close) {
            for (;;) {
                terms.push_back(theory_term());
                if (cur_.kind != TokenKind::Comma) break;
                advance_theory();
                if (cur_.kind == close) break;
            }
        }
        if (cur_.kind != close) fail_expected(token_description(close));
        return terms;
    }

    // Numbers, strings, #inf, #sup and variables read alike in terms and in
    // theory terms; only the lexing of the next token differs. Null for any
    // other token.
    NodePtr constant_or_variable(bool theory) {
        Location start = cur_.location;
        switch (cur_.kind) {
        case TokenKind::Number: {
            int32_t n = number_value();
            take(theory);
            return make_symbolic_term(from(start), Symbol::create_number(n));
        }
        case TokenKind::String: {
            std::string s = cur_.text;
            take(theory);
            return make_symbolic_term(from(start), Symbol::create_string(s));
        }
        case TokenKind::Directive:
            if (cur_.text == "inf" || cur_.text == "sup") {
                bool inf = cur_.text == "inf";
                take(theory);
                return make_symbolic_term(from(start), inf ? Symbol::create_infimum() : Symbol::create_supremum());
            }
            return {};
        case TokenKind::Variable:
        case TokenKind::Anonymous: {
            std::string name = cur_.text;
            take(theory);
            return make_variable(from(start), name);
        }
        default:
            return {};
        }
    }

    NodePtr theory_simple() {
        DepthGuard guard{*this};
        Location start = cur_.location;
        if (NodePtr constant = constant_or_variable(true)) return constant;
        switch (cur_.kind) {
        case TokenKind::Identifier: {
            std::string name = cur_.text;
            advance_theory();
            if (cur_.kind == TokenKind::LParen) {
                advance_theory();
                NodeArray args = theory_arguments(TokenKind::RParen);
                advance_theory();
                return make_node(AstType::TheoryFunction, {from(start), intern(name), std::move(args)});
            }
            return make_symbolic_term(from(start), Symbol::create_id(name));
        }
        case TokenKind::LParen: {
            advance_theory();
            NodeArray args;
            bool trailing = false;
            if (cur_.kind != TokenKind::RParen) {
                for (;;) {
                    args.push_back(theory_term());
                    if (cur_.kind != TokenKind::Comma) break;
                    advance_theory();
                    if (cur_.kind == TokenKind::RParen) {
                        trailing = true;
                        break;
                    }
                }
            }
            if (cur_.kind != TokenKind::RParen) fail_expected(")");
            advance_theory();
            if (args.size() == 1 && !trailing) return args.front();
            return make_node(AstType::TheorySequence,
                             {from(start), static_cast<int>(SequenceType::Tuple), std::move(args)});
        }
        case TokenKind::LBracket:
        case TokenKind::LBrace: {
            bool list = cur_.kind == TokenKind::LBracket;
            advance_theory();
            NodeArray args = theory_arguments(list ? TokenKind::RBracket : TokenKind::RBrace);
            advance_theory();
            return make_node(AstType::TheorySequence,
                             {from(start), static_cast<int>(list ? SequenceType::List : SequenceType::Set),
                              std::move(args)});
        }
        default: break;
        }
        fail_expected("theory term");
    }

    // ---- terms --------------------------------------------------------------------

    NodePtr term() {
        DepthGuard guard{*this};
        Location start = cur_.location;
        NodePtr l = binary_level(0);
        if (accept(TokenKind::DotDot)) {
            NodePtr r = binary_level(0);
            return make_node(AstType::Interval, {from(start), l, r});
        }
        return l;
    }

    // Levels from loosest to tightest: ? ^ & (+ -) (* / \).
    static constexpr int binary_levels = 5;
    std::optional<BinaryOperator> binary_at(int level) const {
        switch (level) {
        case 0: if (cur_.kind == TokenKind::Question) return BinaryOperator::Or; break;
        case 1: if (cur_.kind == TokenKind::Caret) return BinaryOperator::Xor; break;
        case 2: if (cur_.kind == TokenKind::Ampersand) return BinaryOperator::And; break;
        case 3:
            if (cur_.kind == TokenKind::Plus) return BinaryOperator::Plus;
            if (cur_.kind == TokenKind::Minus) return BinaryOperator::Minus;
            break;
        case 4:
            if (cur_.kind == TokenKind::Star) return BinaryOperator::Multiplication;
            if (cur_.kind == TokenKind::Slash) return BinaryOperator::Division;
            if (cur_.kind == TokenKind::Backslash) return BinaryOperator::Modulo;
            break;
        default: break;
        }
        return std::nullopt;
    }

    NodePtr binary_level(int level) {
        if (level == binary_levels) return power();
        Location start = cur_.location;
        NodePtr l = binary_level(level + 1);
        while (auto op = binary_at(level)) {
            advance();
            NodePtr r = binary_level(level + 1);
            l = make_node(AstType::BinaryOperation, {from(start), static_cast<int>(*op), l, r});
        }
        return l;
    }

    NodePtr power() {
        Location start = cur_.location;
        NodePtr l = unary();
        if (accept(TokenKind::Power)) {
            DepthGuard guard{*this};
            NodePtr r = power();
            return make_node(AstType::BinaryOperation,
                             {from(start), static_cast<int>(BinaryOperator::Power), l, r});
        }
        return l;
    }

    NodePtr unary() {
        DepthGuard guard{*this};
        Location start = cur_.location;
        if (cur_.kind == TokenKind::Minus || cur_.kind == TokenKind::Tilde) {
            UnaryOperator op = cur_.kind == TokenKind::Minus ? UnaryOperator::Minus : UnaryOperator::Negation;
            advance();
            // The smallest integer has no positive counterpart to negate, so
            // its literal is read as one number.
            if (op == UnaryOperator::Minus && cur_.kind == TokenKind::Number &&
                cur_.number == int64_t{std::numeric_limits<int32_t>::max()} + 1) {
                advance();
                return make_symbolic_term(from(start), Symbol::create_number(std::numeric_limits<int32_t>::min()));
            }
            NodePtr arg = unary();
            return make_node(AstType::UnaryOperation, {from(start), static_cast<int>(op), arg});
        }
        return primary();
    }

    struct Alternative {
        NodeArray terms;
        bool trailing_comma = false;
    };

    // ( t, ... ; t, ... ) — the opening parenthesis is the current token.
    std::vector<Alternative> argument_list(bool allow_trailing_comma) {
        expect(TokenKind::LParen);
        std::vector<Alternative> alternatives(1);
        if (cur_.kind != TokenKind::RParen) {
            for (;;) {
                alternatives.back().terms.push_back(term());
                if (accept(TokenKind::Comma)) {
                    if (allow_trailing_comma && (cur_.kind == TokenKind::RParen || cur_.kind == TokenKind::Semicolon)) {
                        alternatives.back().trailing_comma = true;
                        if (accept(TokenKind::Semicolon)) {
                            alternatives.emplace_back();
                            continue;
                        }
                        break;
                    }
                    continue;
                }
                if (accept(TokenKind::Semicolon)) {
                    alternatives.emplace_back();
                    continue;
                }
                break;
            }
        }
        expect(TokenKind::RParen);
        return alternatives;
    }

    NodePtr primary() {
        Location start = cur_.location;
        if (NodePtr constant = constant_or_variable(false)) return constant;
        switch (cur_.kind) {
        case TokenKind::Identifier: {
            if (cur_.text == "not") break;
            std::string name = cur_.text;
            advance();
            if (cur_.kind != TokenKind::LParen) return make_function(from(start), name, {});
            auto alternatives = argument_list(false);
            if (alternatives.size() == 1) return make_function(from(start), name, std::move(alternatives[0].terms));
            NodeArray pool;
            for (auto& alt : alternatives) {
                if (alt.terms.empty()) throw LocatedError(from(start), "syntax error, empty pool alternative");
                pool.push_back(make_function(from(start), name, std::move(alt.terms)));
            }
            return make_node(AstType::Pool, {from(start), std::move(pool)});
        }
        case TokenKind::LParen: {
            auto alternatives = argument_list(true);
            NodeArray pool;
            for (auto& alt : alternatives) {
                if (alt.terms.size() == 1 && !alt.trailing_comma) pool.push_back(alt.terms.front());
                else pool.push_back(make_function(from(start), "", std::move(alt.terms)));
            }
            if (pool.size() == 1) return pool.front();
            return make_node(AstType::Pool, {from(start), std::move(pool)});
        }
        case TokenKind::Bar: {
            advance();
            NodePtr arg = term();
            expect(TokenKind::Bar);
            return make_node(AstType::UnaryOperation,
                             {from(start), static_cast<int>(UnaryOperator::Absolute), arg});
        }
        default: break;
        }
        fail_expected("term");
    }

    Parser& owner_;
    Lexer lexer_;
    std::string directory_;
    Token cur_;
    Location last_end_;
    size_t depth_ = 0;
};

Parser::Parser(Messages& messages, StatementCallback callback, ParseOptions options)
    : messages_{messages}, callback_{std::move(callback)}, options_{options} {}

namespace {

// Editors on some systems start UTF-8 files with a byte-order mark.
std::string_view without_byte_order_mark(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    return text;
}

} // namespace

bool Parser::parse_source(std::string_view text, char const* file, std::string const& directory) {
    size_t errors = messages_.messages().size();
    if (messages_.full()) return false;
    SourceParser source{*this, without_byte_order_mark(text), file, directory};
    try {
        source.run();
    } catch (StopParse const&) {
        return false;
    } catch (TooManyErrors const&) {
        return false;
    }
    return messages_.messages().size() == errors && !stopped_;
}

bool Parser::parse_string(std::string_view text, std::string_view name) {
    if (messages_.full()) return false;
    size_t errors = messages_.messages().size();
    std::error_code ec;
    auto cwd = std::filesystem::current_path(ec);
    parse_source(text, intern(name), ec ? std::string{"."} : cwd.string());
    return messages_.messages().size() == errors && !stopped_;
}

namespace {

bool read_file(std::string const& path, std::string& out) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream in{path, std::ios::binary};
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{});
    return !in.bad();
}

} // namespace

bool Parser::parse_file(std::string const& path) {
    if (messages_.full()) return false;
    size_t errors = messages_.messages().size();
    if (path == "-") {
        std::ostringstream buffer;
        buffer << std::cin.rdbuf();
        std::error_code ec;
        auto cwd = std::filesystem::current_path(ec);
        parse_source(buffer.str(), intern("<stdin>"), ec ? std::string{"."} : cwd.string());
        return messages_.messages().size() == errors && !stopped_;
    }
    std::string text;
    char const* file = intern(path);
    if (!read_file(path, text)) {
        try {
            messages_.error(Location{file, file, 1, 1, 1, 1}, "cannot read file '" + path + "'");
        } catch (TooManyErrors const&) {
        }
        return false;
    }
    std::error_code ec;
    auto canonical = std::filesystem::weakly_canonical(path, ec);
    std::string key = ec ? path : canonical.string();
    included_.insert(key);
    include_stack_.push_back(key);
    parse_source(text, file, std::filesystem::path{key}.parent_path().string());
    include_stack_.pop_back();
    return messages_.messages().size() == errors && !stopped_;
}

void Parser::include(std::string const& path, std::string const& directory, Location const& loc) {
    std::filesystem::path p{path};
    if (p.is_relative()) p = std::filesystem::path{directory} / p;
    std::error_code ec;
    auto canonical = std::filesystem::weakly_canonical(p, ec);
    std::string key = ec ? p.string() : canonical.string();
    for (auto const& open : include_stack_) {
        if (open == key) throw LocatedError(loc, "cyclic #include of '" + path + "'");
    }
    if (included_.count(key)) return; // every file is read once
    std::string text;
    if (!read_file(key, text)) throw LocatedError(loc, "cannot read included file '" + path + "'");
    included_.insert(key);
    include_stack_.push_back(key);
    struct Pop {
        std::vector<std::string>& stack;
        ~Pop() { stack.pop_back(); }
    } pop{include_stack_};
    SourceParser source{*this, without_byte_order_mark(text), intern(p.string()),
                        std::filesystem::path{key}.parent_path().string()};
    source.run();
}

std::vector<NodePtr> parse_statements(std::string_view text, Messages& messages, std::string_view name) {
    std::vector<NodePtr> out;
    Parser parser{messages, [&](NodePtr const& s) {
                      out.push_back(s);
                      return true;
                  }};
    parser.parse_string(text, name);
    return out;
}

} // namespace Gondra::Input
