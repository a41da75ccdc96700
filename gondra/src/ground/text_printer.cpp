#include "ground/text_printer.hpp"

#include "ground/theory_printer.hpp"

#include <unordered_map>

namespace Gondra::Ground {

std::string print_text(GroundProgram const& p) {
    std::unordered_map<Atom, std::string> names;
    for (auto const& n : p.atom_names) names[n.atom] = n.symbol.to_string();
    std::unordered_map<Atom, uint32_t> theory_of;
    for (uint32_t i = 0; i < p.theory.atoms.size(); ++i)
        if (p.theory.atoms[i].literal > 0) theory_of[static_cast<Atom>(p.theory.atoms[i].literal)] = i;
    auto atom_text = [&](Atom a) {
        auto it = names.find(a);
        if (it != names.end()) return it->second;
        auto th = theory_of.find(a);
        if (th != theory_of.end()) {
            std::string s;
            print_theory_atom(s, p.theory, th->second);
            return s;
        }
        return "#aux(" + std::to_string(a) + ")";
    };
    auto lit_text = [&](Literal l) { return l < 0 ? "not " + atom_text(static_cast<Atom>(-l)) : atom_text(static_cast<Atom>(l)); };
    std::string out;
    for (auto const& r : p.rules) {
        auto head = p.head(r);
        if (r.head_type == HeadType::choice) out += '{';
        for (size_t i = 0; i < head.size(); ++i) {
            if (i > 0) out += r.head_type == HeadType::choice ? "; " : " | ";
            out += atom_text(head[i]);
        }
        if (r.head_type == HeadType::choice) out += '}';
        auto body = p.body(r);
        if (!body.empty() || head.empty()) out += head.empty() ? ":-" : " :-";
        if (r.body_type != BodyType::normal) {
            out += ' ' + std::to_string(r.bound) + (r.body_type == BodyType::weight ? " #sum{" : " != #sum{");
            for (size_t i = 0; i < body.size(); ++i) {
                if (i > 0) out += "; ";
                out += std::to_string(body[i].weight) + "," + std::to_string(i) + ": " + lit_text(body[i].literal);
            }
            out += '}';
        } else {
            for (size_t i = 0; i < body.size(); ++i) out += (i > 0 ? ", " : " ") + lit_text(body[i].literal);
        }
        out += ".\n";
    }
    for (auto const& m : p.minimize)
        out += ":~ " + lit_text(m.literal) + ". [" + std::to_string(m.weight) + "@" + std::to_string(m.priority) + "]\n";
    for (auto const& e : p.externals) out += "#external " + atom_text(e.atom) + ".\n";
    for (auto const& n : p.atom_names)
        if (n.shown) out += "#show " + n.symbol.to_string() + " : " + atom_text(n.atom) + ".\n";
    for (auto const& s : p.show_terms) {
        out += "#show " + s.term.to_string();
        auto cond = p.condition(s);
        for (size_t i = 0; i < cond.size(); ++i) out += (i == 0 ? " : " : ", ") + lit_text(cond[i]);
        out += ".\n";
    }
    return out;
}

} // namespace Gondra::Ground
