"""A host statistics tree as nested dicts, lists and floats."""

from ._native import STATISTICS_ARRAY, STATISTICS_MAP, STATISTICS_VALUE, ffi, glib
from .errors import check


def read_statistics(statistics):
    """Converts the whole tree under the root, whatever subtrees it holds.

    Maps become dicts (in the host's order), arrays lists, values floats and
    empty entries None.
    """
    key = ffi.new("uint64_t *")
    kind = ffi.new("gondra_statistics_type_t *")
    size = ffi.new("size_t *")
    name = ffi.new("char const **")
    number = ffi.new("double *")
    check(glib.gondra_statistics_root(statistics, key))

    def entry(node):
        check(glib.gondra_statistics_type(statistics, node, kind))
        if kind[0] == STATISTICS_VALUE:
            check(glib.gondra_statistics_value_get(statistics, node, number))
            return number[0], None
        if kind[0] == STATISTICS_MAP:
            return {}, node
        if kind[0] == STATISTICS_ARRAY:
            return [], node
        return None, None

    # Breadth of a statistics tree is large, its depth small, but the walk
    # keeps its own stack anyway.
    top, node = entry(key[0])
    stack = [(top, node)] if node is not None else []
    while stack:
        container, node = stack.pop()
        if isinstance(container, dict):
            check(glib.gondra_statistics_map_size(statistics, node, size))
            for i in range(size[0]):
                check(glib.gondra_statistics_map_subkey_name(statistics, node, i, name))
                text = ffi.string(name[0])
                check(glib.gondra_statistics_map_at(statistics, node, text, key))
                value, child = entry(key[0])
                container[text.decode("utf-8", "replace")] = value
                if child is not None:
                    stack.append((value, child))
        else:
            check(glib.gondra_statistics_array_size(statistics, node, size))
            for i in range(size[0]):
                check(glib.gondra_statistics_array_at(statistics, node, i, key))
                value, child = entry(key[0])
                container.append(value)
                if child is not None:
                    stack.append((value, child))
    return top
