#include "input/ast_printer.hpp"

#include <stdexcept>
#include <vector>

namespace Gondra::Input {

namespace {

using A = Attribute;

// Binding strength of a term as it prints; higher binds tighter.
int precedence(Node const& t) {
    switch (t.type()) {
    case AstType::Interval: return 0;
    case AstType::BinaryOperation:
        switch (static_cast<BinaryOperator>(t.number(A::OperatorType))) {
        case BinaryOperator::Or: return 1;
        case BinaryOperator::Xor: return 2;
        case BinaryOperator::And: return 3;
        case BinaryOperator::Plus:
        case BinaryOperator::Minus: return 4;
        case BinaryOperator::Multiplication:
        case BinaryOperator::Division:
        case BinaryOperator::Modulo: return 5;
        case BinaryOperator::Power: return 6;
        }
        return 1;
    case AstType::UnaryOperation:
        return static_cast<UnaryOperator>(t.number(A::OperatorType)) == UnaryOperator::Absolute ? 8 : 7;
    default: return 8;
    }
}

char const* binary_text(BinaryOperator op) {
    switch (op) {
    case BinaryOperator::Xor: return "^";
    case BinaryOperator::Or: return "?";
    case BinaryOperator::And: return "&";
    case BinaryOperator::Plus: return "+";
    case BinaryOperator::Minus: return "-";
    case BinaryOperator::Multiplication: return "*";
    case BinaryOperator::Division: return "/";
    case BinaryOperator::Modulo: return "\\";
    case BinaryOperator::Power: return "**";
    }
    return "?";
}

char const* aggregate_text(AggregateFunction f) {
    switch (f) {
    case AggregateFunction::Count: return "#count";
    case AggregateFunction::Sum: return "#sum";
    case AggregateFunction::SumPlus: return "#sum+";
    case AggregateFunction::Min: return "#min";
    case AggregateFunction::Max: return "#max";
    }
    return "#count";
}

bool is_power(Node const& t) {
    return t.type() == AstType::BinaryOperation &&
           static_cast<BinaryOperator>(t.number(A::OperatorType)) == BinaryOperator::Power;
}

bool is_operator_name(char const* name) {
    if (*name == '\0') return false;
    for (char const* p = name; *p; ++p) {
        if (std::string_view{"!<=>+-*/\\?&@|.~^"}.find(*p) == std::string_view::npos) return false;
    }
    return true;
}

class Printer {
public:
    explicit Printer(std::string& out) : out_{out} {}

    void node(Node const& n) {
        switch (n.type()) {
        case AstType::Id:
        case AstType::Variable: out_ += n.string(A::Name); break;
        case AstType::SymbolicTerm: {
            auto symbol = n.symbol(A::Symbol);
            // In theory terms "-" is an operator of the theory, so a negative
            // number reads back as "-" applied to its magnitude; printing it
            // spaced like that from the start makes the text a fixpoint.
            if (theory_ && symbol.type() == Symbols::SymbolType::Number && symbol.number() < 0) {
                out_ += "- ";
                out_ += std::to_string(-int64_t{symbol.number()});
                break;
            }
            symbol.print(out_);
            break;
        }
        case AstType::UnaryOperation: {
            auto op = static_cast<UnaryOperator>(n.number(A::OperatorType));
            Node const& arg = *n.node(A::Argument);
            if (op == UnaryOperator::Absolute) {
                out_ += '|';
                node(arg);
                out_ += '|';
                break;
            }
            out_ += op == UnaryOperator::Minus ? "-" : "~";
            wrapped(arg, precedence(arg) < 7);
            break;
        }
        case AstType::BinaryOperation: {
            // A left-associative chain such as 1+2+...+n nests down its left
            // operands; they print without parentheses, walked as a list.
            std::vector<Node const*> chain{&n};
            for (;;) {
                Node const& top = *chain.back();
                Node const& l = *top.node(A::Left);
                if (is_power(top) || l.type() != AstType::BinaryOperation || is_power(l) ||
                    precedence(l) < precedence(top))
                    break;
                chain.push_back(&l);
            }
            for (size_t i = chain.size(); i-- > 0;) {
                Node const& b = *chain[i];
                auto op = static_cast<BinaryOperator>(b.number(A::OperatorType));
                int p = precedence(b);
                bool right_assoc = op == BinaryOperator::Power;
                if (i + 1 == chain.size()) {
                    Node const& l = *b.node(A::Left);
                    wrapped(l, right_assoc ? precedence(l) <= p : precedence(l) < p);
                }
                Node const& r = *b.node(A::Right);
                out_ += binary_text(op);
                wrapped(r, right_assoc ? precedence(r) < p : precedence(r) <= p);
            }
            break;
        }
        case AstType::Interval:
            wrapped(*n.node(A::Left), precedence(*n.node(A::Left)) == 0);
            out_ += "..";
            wrapped(*n.node(A::Right), precedence(*n.node(A::Right)) == 0);
            break;
        case AstType::Function: {
            char const* name = n.string(A::Name);
            auto const& args = n.nodes(A::Arguments);
            if (n.number(A::External) != 0) out_ += '@';
            out_ += name;
            if (*name == '\0') {
                out_ += '(';
                list(args, ",");
                if (args.size() == 1) out_ += ',';
                out_ += ')';
            } else if (!args.empty() || n.number(A::External) != 0) {
                out_ += '(';
                list(args, ",");
                out_ += ')';
            }
            break;
        }
        case AstType::Pool:
            out_ += '(';
            list(n.nodes(A::Arguments), ";");
            out_ += ')';
            break;
        case AstType::BooleanConstant: out_ += n.number(A::Value) ? "#true" : "#false"; break;
        case AstType::SymbolicAtom: node(*n.node(A::Symbol)); break;
        case AstType::Comparison:
            node(*n.node(A::Left));
            out_ += comparison_text(static_cast<ComparisonOperator>(n.number(A::Comparison)));
            node(*n.node(A::Right));
            break;
        case AstType::Literal:
            switch (static_cast<Sign>(n.number(A::Sign))) {
            case Sign::None: break;
            case Sign::Negation: out_ += "not "; break;
            case Sign::DoubleNegation: out_ += "not not "; break;
            }
            node(*n.node(A::Atom));
            break;
        case AstType::AggregateGuard:
            out_ += comparison_text(static_cast<ComparisonOperator>(n.number(A::Comparison)));
            node(*n.node(A::Term));
            break;
        case AstType::ConditionalLiteral:
            node(*n.node(A::Literal));
            if (!n.nodes(A::Condition).empty()) {
                out_ += ": ";
                list(n.nodes(A::Condition), ", ");
            }
            break;
        case AstType::Aggregate:
            left_guard(n.optional(A::LeftGuard));
            out_ += '{';
            list(n.nodes(A::Elements), "; ");
            out_ += '}';
            right_guard(n.optional(A::RightGuard));
            break;
        case AstType::BodyAggregateElement:
        case AstType::TheoryAtomElement: {
            auto const& terms = n.nodes(A::Terms);
            {
                TheoryContext context{*this, n.type() == AstType::TheoryAtomElement};
                list(terms, ",");
            }
            if (terms.empty() || !n.nodes(A::Condition).empty()) {
                TheoryContext context{*this, false};
                out_ += terms.empty() ? ": " : " : ";
                list(n.nodes(A::Condition), ", ");
            }
            break;
        }
        case AstType::BodyAggregate:
            left_guard(n.optional(A::LeftGuard));
            out_ += aggregate_text(static_cast<AggregateFunction>(n.number(A::Function)));
            out_ += " { ";
            list(n.nodes(A::Elements), "; ");
            out_ += " }";
            right_guard(n.optional(A::RightGuard));
            break;
        case AstType::Disjunction: {
            auto const& elements = n.nodes(A::Elements);
            list(elements, "; ");
            // A lone unconditional element would read back as a plain literal.
            if (elements.size() == 1 && elements[0]->type() == AstType::ConditionalLiteral &&
                elements[0]->nodes(A::Condition).empty())
                out_ += ':';
            break;
        }
        case AstType::TheorySequence: {
            auto type = static_cast<SequenceType>(n.number(A::SequenceType));
            auto const& terms = n.nodes(A::Terms);
            out_ += type == SequenceType::Tuple ? "(" : type == SequenceType::List ? "[" : "{";
            list(terms, ",");
            if (type == SequenceType::Tuple && terms.size() == 1) out_ += ',';
            out_ += type == SequenceType::Tuple ? ")" : type == SequenceType::List ? "]" : "}";
            break;
        }
        case AstType::TheoryFunction: {
            char const* name = n.string(A::Name);
            auto const& args = n.nodes(A::Arguments);
            if (is_operator_name(name) && args.size() == 2) {
                out_ += '(';
                theory_operand(*args[0]);
                out_ += ' ';
                out_ += name;
                out_ += ' ';
                theory_operand(*args[1]);
                out_ += ')';
            } else if (is_operator_name(name) && args.size() == 1) {
                out_ += name;
                out_ += ' ';
                theory_operand(*args[0]);
            } else {
                out_ += name;
                out_ += '(';
                list(args, ",");
                out_ += ')';
            }
            break;
        }
        case AstType::TheoryUnparsedTermElement:
            for (char const* op : n.strings(A::Operators)) {
                out_ += op;
                out_ += ' ';
            }
            theory_operand(*n.node(A::Term));
            break;
        case AstType::TheoryUnparsedTerm: list(n.nodes(A::Elements), " "); break;
        case AstType::TheoryGuard: {
            TheoryContext context{*this, true};
            out_ += n.string(A::OperatorName);
            out_ += ' ';
            node(*n.node(A::Term));
            break;
        }
        case AstType::TheoryAtom: {
            TheoryContext context{*this, false};
            out_ += '&';
            node(*n.node(A::Term));
            out_ += " { ";
            list(n.nodes(A::Elements), "; ");
            out_ += " }";
            if (auto const& g = n.optional(A::Guard)) {
                out_ += ' ';
                node(*g);
            }
            break;
        }
        case AstType::TheoryOperatorDefinition: {
            out_ += n.string(A::Name);
            out_ += " : " + std::to_string(n.number(A::Priority)) + ", ";
            switch (static_cast<TheoryOperatorType>(n.number(A::OperatorType))) {
            case TheoryOperatorType::Unary: out_ += "unary"; break;
            case TheoryOperatorType::BinaryLeft: out_ += "binary, left"; break;
            case TheoryOperatorType::BinaryRight: out_ += "binary, right"; break;
            }
            break;
        }
        case AstType::TheoryTermDefinition:
            out_ += n.string(A::Name);
            out_ += " { ";
            list(n.nodes(A::Operators), "; ");
            out_ += " }";
            break;
        case AstType::TheoryGuardDefinition: {
            out_ += '{';
            bool first = true;
            for (char const* op : n.strings(A::Operators)) {
                if (!first) out_ += ", ";
                first = false;
                out_ += op;
            }
            out_ += "}, ";
            out_ += n.string(A::Term);
            break;
        }
        case AstType::TheoryAtomDefinition: {
            out_ += '&';
            out_ += n.string(A::Name);
            out_ += '/' + std::to_string(n.number(A::Arity)) + " : " + n.string(A::Term) + ", ";
            if (auto const& g = n.optional(A::Guard)) {
                node(*g);
                out_ += ", ";
            }
            switch (static_cast<TheoryAtomType>(n.number(A::AtomType))) {
            case TheoryAtomType::Head: out_ += "head"; break;
            case TheoryAtomType::Body: out_ += "body"; break;
            case TheoryAtomType::Any: out_ += "any"; break;
            case TheoryAtomType::Directive: out_ += "directive"; break;
            }
            break;
        }
        case AstType::Rule: {
            Node const& head = *n.node(A::Head);
            auto const& body = n.nodes(A::Body);
            bool constraint = head.type() == AstType::Literal &&
                              static_cast<Sign>(head.number(A::Sign)) == Sign::None &&
                              head.node(A::Atom)->type() == AstType::BooleanConstant &&
                              head.node(A::Atom)->number(A::Value) == 0;
            if (!constraint) {
                node(head);
                if (!body.empty()) out_ += " :- ";
            } else {
                // An empty constraint has no ":- ." form; its head says it.
                out_ += body.empty() ? "#false" : ":- ";
            }
            this->body(body);
            out_ += '.';
            break;
        }
        case AstType::Definition:
            out_ += "#const ";
            out_ += n.string(A::Name);
            out_ += " = ";
            node(*n.node(A::Value));
            out_ += n.number(A::IsDefault) ? "." : " [override].";
            break;
        case AstType::ShowSignature:
        case AstType::Defined:
            out_ += n.type() == AstType::Defined ? "#defined " : "#show ";
            if (!n.number(A::Positive)) out_ += '-';
            out_ += n.string(A::Name);
            out_ += '/' + std::to_string(n.number(A::Arity)) + '.';
            break;
        case AstType::ShowTerm: {
            out_ += "#show ";
            Node const& t = *n.node(A::Term);
            // A top-level division would read back as a signature.
            wrapped(t, t.type() == AstType::BinaryOperation &&
                           static_cast<BinaryOperator>(t.number(A::OperatorType)) == BinaryOperator::Division);
            if (!n.nodes(A::Body).empty()) {
                out_ += " : ";
                body(n.nodes(A::Body));
            }
            out_ += '.';
            break;
        }
        case AstType::Show: out_ += "#show."; break;
        case AstType::Minimize:
            out_ += ":~ ";
            body(n.nodes(A::Body));
            out_ += ". [";
            node(*n.node(A::Weight));
            out_ += '@';
            node(*n.node(A::Priority));
            for (auto const& t : n.nodes(A::Terms)) {
                out_ += ',';
                node(*t);
            }
            out_ += ']';
            break;
        case AstType::Program: {
            out_ += "#program ";
            out_ += n.string(A::Name);
            auto const& params = n.nodes(A::Parameters);
            if (!params.empty()) {
                out_ += '(';
                list(params, ",");
                out_ += ')';
            }
            out_ += '.';
            break;
        }
        case AstType::External:
            out_ += "#external ";
            node(*n.node(A::Atom));
            if (!n.nodes(A::Body).empty()) {
                out_ += " : ";
                list(n.nodes(A::Body), ", ");
            }
            out_ += '.';
            break;
        case AstType::TheoryDefinition: {
            out_ += "#theory ";
            out_ += n.string(A::Name);
            out_ += " {";
            bool first = true;
            for (auto const* part : {&n.nodes(A::Terms), &n.nodes(A::Atoms)}) {
                for (auto const& d : *part) {
                    out_ += first ? "\n    " : ";\n    ";
                    first = false;
                    node(*d);
                }
            }
            out_ += first ? "}." : "\n}.";
            break;
        }
        }
    }

private:
    // Whether terms print as theory terms; set while printing them.
    struct TheoryContext {
        Printer& printer;
        bool before;
        TheoryContext(Printer& p, bool theory) : printer{p}, before{p.theory_} { p.theory_ = theory; }
        ~TheoryContext() { printer.theory_ = before; }
    };

    void wrapped(Node const& n, bool parens) {
        if (parens) out_ += '(';
        node(n);
        if (parens) out_ += ')';
    }

    // Operands inside theory terms: nested operator sequences keep their parentheses.
    void theory_operand(Node const& n) { wrapped(n, n.type() == AstType::TheoryUnparsedTerm); }

    void list(NodeArray const& nodes, char const* separator) {
        bool first = true;
        for (auto const& n : nodes) {
            if (!first) out_ += separator;
            first = false;
            node(*n);
        }
    }

    // A conditional literal's condition runs until ';', so the element after
    // it is separated by ';'; an empty condition keeps its ':'.
    void body(NodeArray const& elements) {
        for (size_t i = 0; i < elements.size(); ++i) {
            Node const& e = *elements[i];
            if (i > 0) out_ += elements[i - 1]->type() == AstType::ConditionalLiteral ? "; " : ", ";
            node(e);
            if (e.type() == AstType::ConditionalLiteral && e.nodes(A::Condition).empty()) out_ += ": ";
        }
    }

    void left_guard(NodePtr const& g) {
        if (!g) return;
        node(*g->node(A::Term));
        out_ += ' ';
        out_ += comparison_text(static_cast<ComparisonOperator>(g->number(A::Comparison)));
        out_ += ' ';
    }
    void right_guard(NodePtr const& g) {
        if (!g) return;
        out_ += ' ';
        out_ += comparison_text(static_cast<ComparisonOperator>(g->number(A::Comparison)));
        out_ += ' ';
        node(*g->node(A::Term));
    }

    std::string& out_;
    bool theory_ = false;
};

} // namespace

char const* comparison_text(ComparisonOperator op) {
    switch (op) {
    case ComparisonOperator::GreaterThan: return ">";
    case ComparisonOperator::LessThan: return "<";
    case ComparisonOperator::LessEqual: return "<=";
    case ComparisonOperator::GreaterEqual: return ">=";
    case ComparisonOperator::NotEqual: return "!=";
    case ComparisonOperator::Equal: return "=";
    }
    return "=";
}

void print_ast(std::string& out, Node const& node) { Printer{out}.node(node); }

std::string ast_to_string(Node const& node) {
    std::string out;
    print_ast(out, node);
    return out;
}

} // namespace Gondra::Input
