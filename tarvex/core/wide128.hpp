#pragma once

// Signed 128-bit two's complement integer made of four 32-bit limbs, least
// significant first. Products of two bounds and a coefficient fit far inside
// its range, so its arithmetic wraps instead of checking.

#include "core/integer_types.hpp"

#include <array>
#include <compare>
#include <cstdint>
#include <utility>

namespace Tarvex {

class Wide128 {
public:
    static constexpr int limb_count = 4;

    constexpr Wide128() = default;
    // Sign-extended.
    constexpr Wide128(value_t value) : Wide128(static_cast<wide_t>(value)) {}
    // Zero-extended.
    constexpr Wide128(std::uint32_t value) : limbs_{value, 0, 0, 0} {}
    // Sign-extended.
    constexpr Wide128(wide_t value)
        : Wide128(value < 0 ? ~std::uint64_t{0} : 0, static_cast<std::uint64_t>(value)) {}
    constexpr Wide128(std::uint64_t high, std::uint64_t low)
        : limbs_{static_cast<std::uint32_t>(low), static_cast<std::uint32_t>(low >> 32),
                 static_cast<std::uint32_t>(high), static_cast<std::uint32_t>(high >> 32)} {}

    static constexpr Wide128 max() { return {std::uint64_t{0x7fffffffffffffff}, ~std::uint64_t{0}}; }
    static constexpr Wide128 min() { return {std::uint64_t{0x8000000000000000}, std::uint64_t{0}}; }

    constexpr std::uint32_t limb(int i) const { return limbs_[i]; }
    constexpr std::uint64_t low() const { return (std::uint64_t{limbs_[1]} << 32) | limbs_[0]; }
    constexpr std::uint64_t high() const { return (std::uint64_t{limbs_[3]} << 32) | limbs_[2]; }
    constexpr bool is_negative() const { return (limbs_[3] >> 31) != 0; }
    constexpr bool is_zero() const { return (limbs_[0] | limbs_[1] | limbs_[2] | limbs_[3]) == 0; }

    // Whether the value is representable as wide_t.
    constexpr bool fits_wide() const {
        auto sign = static_cast<std::uint64_t>(static_cast<wide_t>(low()) >> 63);
        return high() == sign;
    }
    // The low 64 bits; exact when fits_wide() holds.
    constexpr wide_t to_wide() const { return static_cast<wide_t>(low()); }

    // Two's complement in place; min() stays min().
    constexpr Wide128& negate() {
        std::uint64_t carry = 1;
        for (auto& limb : limbs_) {
            std::uint64_t sum = std::uint64_t{static_cast<std::uint32_t>(~limb)} + carry;
            limb = static_cast<std::uint32_t>(sum);
            carry = sum >> 32;
        }
        return *this;
    }

    constexpr Wide128 operator-() const {
        Wide128 result = *this;
        return result.negate();
    }

    constexpr Wide128& operator+=(Wide128 const& other) {
        std::uint64_t carry = 0;
        for (int i = 0; i < limb_count; ++i) {
            std::uint64_t sum = std::uint64_t{limbs_[i]} + other.limbs_[i] + carry;
            limbs_[i] = static_cast<std::uint32_t>(sum);
            carry = sum >> 32;
        }
        return *this;
    }

    constexpr Wide128& operator-=(Wide128 const& other) {
        std::uint64_t borrow = 0;
        for (int i = 0; i < limb_count; ++i) {
            std::uint64_t diff = std::uint64_t{limbs_[i]} - other.limbs_[i] - borrow;
            limbs_[i] = static_cast<std::uint32_t>(diff);
            borrow = (diff >> 32) != 0 ? 1 : 0;
        }
        return *this;
    }

    // Schoolbook product keeping the low 128 bits.
    constexpr Wide128& operator*=(Wide128 const& other) {
        std::array<std::uint32_t, limb_count> result{};
        for (int i = 0; i < limb_count; ++i) {
            std::uint64_t carry = 0;
            for (int j = 0; i + j < limb_count; ++j) {
                std::uint64_t cur = std::uint64_t{limbs_[i]} * other.limbs_[j] + result[i + j] + carry;
                result[i + j] = static_cast<std::uint32_t>(cur);
                carry = cur >> 32;
            }
        }
        limbs_ = result;
        return *this;
    }

    friend constexpr Wide128 operator+(Wide128 a, Wide128 const& b) { return a += b; }
    friend constexpr Wide128 operator-(Wide128 a, Wide128 const& b) { return a -= b; }
    friend constexpr Wide128 operator*(Wide128 a, Wide128 const& b) { return a *= b; }

    // Three-way comparison under signed order: -1, 0 or 1.
    friend constexpr int compare(Wide128 const& a, Wide128 const& b) {
        bool neg_a = a.is_negative();
        if (neg_a != b.is_negative()) {
            return neg_a ? -1 : 1;
        }
        // Equal signs: the unsigned order of the bit patterns is the signed order.
        for (int i = limb_count - 1; i >= 0; --i) {
            if (a.limbs_[i] != b.limbs_[i]) {
                return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
            }
        }
        return 0;
    }

    friend constexpr bool operator==(Wide128 const& a, Wide128 const& b) { return a.limbs_ == b.limbs_; }
    friend constexpr std::strong_ordering operator<=>(Wide128 const& a, Wide128 const& b) {
        return compare(a, b) <=> 0;
    }

    // Truncating division: the quotient rounds toward zero, the remainder has
    // the sign of n. Division by zero yields (max(), 0).
    friend constexpr std::pair<Wide128, Wide128> div_mod(Wide128 const& n, Wide128 const& d) {
        if (d.is_zero()) {
            return {max(), Wide128{}};
        }
        bool neg_n = n.is_negative();
        bool neg_d = d.is_negative();
        Wide128 q;
        Wide128 r;
        divide_magnitudes(neg_n ? -n : n, neg_d ? -d : d, q, r);
        if (neg_n != neg_d) {
            q.negate();
        }
        if (neg_n) {
            r.negate();
        }
        return {q, r};
    }

    friend constexpr Wide128 operator/(Wide128 const& n, Wide128 const& d) { return div_mod(n, d).first; }
    friend constexpr Wide128 operator%(Wide128 const& n, Wide128 const& d) { return div_mod(n, d).second; }

private:
    // Unsigned long division by 32-bit limbs (normalised schoolbook division).
    static constexpr void divide_magnitudes(Wide128 const& n, Wide128 const& d, Wide128& q, Wide128& r) {
        int dn = limb_count;
        while (dn > 0 && d.limbs_[dn - 1] == 0) {
            --dn;
        }
        int nn = limb_count;
        while (nn > 0 && n.limbs_[nn - 1] == 0) {
            --nn;
        }
        q = Wide128{};
        r = Wide128{};
        if (nn < dn) {
            r = n;
            return;
        }
        if (dn == 1) {
            std::uint64_t divisor = d.limbs_[0];
            std::uint64_t rem = 0;
            for (int i = nn - 1; i >= 0; --i) {
                std::uint64_t cur = (rem << 32) | n.limbs_[i];
                q.limbs_[i] = static_cast<std::uint32_t>(cur / divisor);
                rem = cur % divisor;
            }
            r.limbs_[0] = static_cast<std::uint32_t>(rem);
            return;
        }
        // Normalise so that the divisor's top limb has its high bit set.
        int shift = 0;
        for (std::uint32_t top = d.limbs_[dn - 1]; (top & 0x80000000u) == 0; top <<= 1) {
            ++shift;
        }
        std::array<std::uint32_t, limb_count> v{};
        std::array<std::uint32_t, limb_count + 1> u{};
        for (int i = dn - 1; i > 0; --i) {
            v[i] = shift == 0 ? d.limbs_[i] : (d.limbs_[i] << shift) | (d.limbs_[i - 1] >> (32 - shift));
        }
        v[0] = d.limbs_[0] << shift;
        u[nn] = shift == 0 ? 0 : n.limbs_[nn - 1] >> (32 - shift);
        for (int i = nn - 1; i > 0; --i) {
            u[i] = shift == 0 ? n.limbs_[i] : (n.limbs_[i] << shift) | (n.limbs_[i - 1] >> (32 - shift));
        }
        u[0] = n.limbs_[0] << shift;

        constexpr std::uint64_t base = std::uint64_t{1} << 32;
        for (int j = nn - dn; j >= 0; --j) {
            std::uint64_t top = (std::uint64_t{u[j + dn]} << 32) | u[j + dn - 1];
            std::uint64_t qhat = top / v[dn - 1];
            std::uint64_t rhat = top % v[dn - 1];
            while (qhat >= base || qhat * v[dn - 2] > ((rhat << 32) | u[j + dn - 2])) {
                --qhat;
                rhat += v[dn - 1];
                if (rhat >= base) {
                    break;
                }
            }
            // Multiply and subtract.
            std::int64_t borrow = 0;
            std::uint64_t carry = 0;
            for (int i = 0; i < dn; ++i) {
                std::uint64_t product = qhat * v[i] + carry;
                carry = product >> 32;
                std::int64_t t = static_cast<std::int64_t>(u[i + j]) - borrow -
                                 static_cast<std::int64_t>(product & 0xffffffffu);
                u[i + j] = static_cast<std::uint32_t>(t);
                borrow = t < 0 ? 1 : 0;
            }
            std::int64_t t = static_cast<std::int64_t>(u[j + dn]) - borrow - static_cast<std::int64_t>(carry);
            u[j + dn] = static_cast<std::uint32_t>(t);
            if (t < 0) {
                // qhat was one too large: add the divisor back.
                --qhat;
                std::uint64_t c = 0;
                for (int i = 0; i < dn; ++i) {
                    std::uint64_t sum = std::uint64_t{u[i + j]} + v[i] + c;
                    u[i + j] = static_cast<std::uint32_t>(sum);
                    c = sum >> 32;
                }
                u[j + dn] = static_cast<std::uint32_t>(u[j + dn] + c);
            }
            q.limbs_[j] = static_cast<std::uint32_t>(qhat);
        }
        // Denormalise the remainder.
        for (int i = 0; i < dn; ++i) {
            r.limbs_[i] = shift == 0 ? u[i] : (u[i] >> shift) | (u[i + 1] << (32 - shift));
        }
    }

    std::array<std::uint32_t, limb_count> limbs_{};
};

using wide128_t = Wide128;

// Quotient rounded toward negative infinity; max() when d is zero.
constexpr Wide128 floor_div(Wide128 const& n, Wide128 const& d) {
    if (d.is_zero()) {
        return Wide128::max();
    }
    auto [q, r] = div_mod(n, d);
    if (!r.is_zero() && n.is_negative() != d.is_negative()) {
        q -= Wide128{1};
    }
    return q;
}

// Quotient rounded toward positive infinity; max() when d is zero.
constexpr Wide128 ceil_div(Wide128 const& n, Wide128 const& d) {
    if (d.is_zero()) {
        return Wide128::max();
    }
    auto [q, r] = div_mod(n, d);
    if (!r.is_zero() && n.is_negative() == d.is_negative()) {
        q += Wide128{1};
    }
    return q;
}

} // namespace Tarvex
