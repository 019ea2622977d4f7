// The validator's tables of record layouts, built at compile time from the
// record declarations.
#include "check_scan.hpp"

#include <array>

#include "pressel/records.hpp"
#include "record_types.hpp"

namespace pressel::checkscan {

namespace {

template <class V>
struct IsGroups : std::false_type {};
template <class G>
struct IsGroups<std::vector<Record<G>>> : std::true_type {};

// Whether the field kind V is one the tables follow: a fixed-width field,
// an optional one, or a trailing run of bytes or nested list.
template <class V>
constexpr bool followed() {
    if constexpr (FixedWidthFieldType<V> || std::same_as<V, Buffer0> || IsChunks<V>::value) return true;
    else if constexpr (IsOpt<V>::value) return true;
    else return false;
}

template <class T>
constexpr bool hasHook() {
    return requires(ByteReader& r) { RecordHooks<T>::get(r); };
}

template <class T, class F>
constexpr void forEachDesc(F&& f) {
    [&]<class... D>(FieldList<D...>*) { (f.template operator()<D>(), ...); }(
        static_cast<decltype(RecordDecl<T>::fields())*>(nullptr));
}

// Whether the tables can stand in for decoding records of type T.
template <class T>
constexpr bool tabled() {
    if constexpr (hasHook<T>() || HasHiddenGroups<T>) return false;
    else {
        bool all = true;
        forEachDesc<T>([&]<class D>() { all = all && followed<typename D::type>(); });
        return all;
    }
}

// Whether an optional field of T is present only when it holds a given value.
template <class T>
constexpr bool readsValues() {
    bool any = false;
    forEachDesc<T>([&]<class D>() { any = any || presentWhenOf<D::member>.has_value(); });
    return any;
}

// The record reader's walk over the field list, by lengths alone: each
// fixed field needs its width; an optional one is absent at the end of the
// bytes (or, with a value it must hold, when that value is not there) and
// otherwise needs its width; a trailing field takes the rest. Returns false
// where reading would run out of bytes.
template <class T>
constexpr bool walk(const byte* data, std::size_t n, FieldScan& out) {
    std::size_t pos = 0;
    bool ok = true;
    forEachDesc<T>([&]<class D>() {
        using V = typename D::type;
        if (!ok) return;
        if constexpr (FixedWidthFieldType<V>) {
            if (n - pos < std::size_t(V::width)) ok = false;
            else pos += std::size_t(V::width);
        } else if constexpr (IsOpt<V>::value) {
            constexpr std::size_t w = std::size_t(IsOpt<V>::field::width);
            if (pos >= n) return;
            constexpr auto when = presentWhenOf<D::member>;
            if constexpr (when.has_value()) {
                if (n - pos < w) return;
                std::uint64_t v = 0;
                for (std::size_t i = 0; i < w; ++i) v = v << 8 | data[pos + i];
                if (v != *when) return;
            }
            if (n - pos < w) ok = false;
            else pos += w;
        } else if constexpr (IsChunks<V>::value) {
            out.list = familyOf<typename V::value_type>();
            out.listAt = pos;
            pos = n;
        } else {
            pos = n;  // Buffer0
        }
    });
    out.covered = pos;
    return ok;
}

// The lead-chain flag is a fact about the decoded record: read the fields
// before the list (their lengths are known to be there) and ask it.
template <class T>
bool leadChainOf(const byte* data, std::size_t listAt) {
    if constexpr (requires { RecordFacts<T>::leadChain; }) {
        T v{};
        ByteReader r(Bytes::fromStatic(data, listAt));
        forEachField(v, [&](auto fd, auto& x) {
            using V = std::remove_cvref_t<decltype(x)>;
            if constexpr (!TrailingFieldType<V>) FieldCodec<V>::read(r, x, detail::fieldContext(v, fd));
        });
        return (v.*RecordFacts<T>::leadChain)();
    } else {
        (void)data;
        (void)listAt;
        return false;
    }
}

template <class T>
Answer scanAs(const byte* data, std::size_t n, FieldScan& out) {
    if constexpr (!tabled<T>()) {
        (void)data;
        (void)n;
        (void)out;
        return Answer::Decode;
    } else {
        if (!walk<T>(data, n, out)) return Answer::Short;
        if (out.list != Family::Other) {
            out.leadChained = leadChainOf<T>(data, out.listAt);
            out.groupsHoldTriplets = groupsHoldTriplets<T>();
        }
        return Answer::Fits;
    }
}

template <class T>
constexpr int leastOf() {
    if constexpr (!tabled<T>()) return -1;
    else {
        int n = 0;
        forEachDesc<T>([&]<class D>() {
            if constexpr (FixedWidthFieldType<typename D::type>) n += D::type::width;
        });
        return n;
    }
}

// The payload lengths a nested record type reads from.
template <class T>
constexpr NestedCode nestedCodeOf() {
    NestedCode c{{0, 0, 0, 0}, RecordDecl<T>::tableIndex, Answer::Decode};
    if constexpr (tabled<T>() && !readsValues<T>()) {
        c.byLength = Answer::Fits;
        for (std::size_t n = 0; n < 256; ++n) {
            FieldScan s;
            if (walk<T>(nullptr, n, s)) c.fits[n >> 6] |= std::uint64_t(1) << (n & 63);
        }
    }
    return c;
}

constexpr std::array<NestedCode, 256> makeTriplets() {
    std::array<NestedCode, 256> t{};
    for (auto& e : t) e = NestedCode{{0, 0, 0, 0}, idx_T_Unknown, Answer::Decode};
#define PRESSEL_X(code, name) t[code] = nestedCodeOf<name>();
    PRESSEL_T_CODES(PRESSEL_X)
#undef PRESSEL_X
    return t;
}
// Both codes of a pair (even unchained, odd chained) are the same record.
constexpr std::array<NestedCode, 256> makeControls() {
    std::array<NestedCode, 256> t{};
    for (auto& e : t) e = NestedCode{{0, 0, 0, 0}, idx_PTX_Unknown, Answer::Decode};
#define PRESSEL_X(code, name)     \
    t[code] = nestedCodeOf<name>(); \
    if ((code & 1) == 0) t[code + 1] = t[code];
    PRESSEL_PTX_CODES(PRESSEL_X)
#undef PRESSEL_X
    return t;
}

constexpr int kLeast[] = {
#define PRESSEL_X(code, name) leastOf<name>(),
    PRESSEL_AFP_CODES(PRESSEL_X)
#undef PRESSEL_X
};

}  // namespace

// Declared extern in the header, so these constant tables are the ones
// every user sees.
constexpr std::array<NestedCode, 256> tripletCodes = makeTriplets();
constexpr std::array<NestedCode, 256> controlCodes = makeControls();

namespace {
constexpr std::array<std::uint8_t, 256> sureOf(const std::array<NestedCode, 256>& codes) {
    std::array<std::uint8_t, 256> t{};
    for (std::size_t c = 0; c < 256; ++c) {
        std::size_t s = 255;
        if (codes[c].byLength == Answer::Fits)
            while (s > 0 && codes[c].fitsLength(s - 1)) --s;
        t[c] = std::uint8_t(s);
    }
    return t;
}
}  // namespace

constexpr std::array<std::uint8_t, 256> tripletSure = sureOf(tripletCodes);
constexpr std::array<std::uint8_t, 256> controlSure = sureOf(controlCodes);

// The structured-field types come first in the table index.
constexpr std::array<ScanFn, idx_Unknown> fieldScans = {
#define PRESSEL_X(code, name) &scanAs<name>,
    PRESSEL_AFP_CODES(PRESSEL_X)
#undef PRESSEL_X
};

int leastFieldSize(std::uint16_t index) noexcept { return index < idx_Unknown ? kLeast[index] : -1; }

}  // namespace pressel::checkscan
