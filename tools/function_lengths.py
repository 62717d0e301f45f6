#!/usr/bin/env python3
"""Lists the functions of C++ sources that run longer than a limit.

A function body is a '{' at namespace or class level whose preceding code ends in ')' (or in
'const', 'noexcept', 'override', or a constructor's initialiser list); its length counts from the
first line of its declaration to the matching '}'. Comments, strings and characters are blanked
first so that braces inside them do not count. Lambdas inside a function count with it.
Usage: function_lengths.py LIMIT FILE...  (exit status 1 when any function is longer)
"""
import re
import sys


def blank(text):
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith('//', i):
            j = text.find('\n', i)
            j = n if j < 0 else j
            out.append(' ' * (j - i)); i = j
        elif text.startswith('/*', i):
            j = text.find('*/', i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r'[^\n]', ' ', text[i:j])); i = j
        elif c == 'R' and text.startswith('R"', i):
            m = re.match(r'R"([^(]*)\(', text[i:])
            end = text.find(')' + m.group(1) + '"', i)
            j = end + len(m.group(1)) + 2
            out.append(re.sub(r'[^\n]', ' ', text[i:j])); i = j
        elif c in '"\'':
            if c == "'" and i > 0 and text[i - 1].isalnum():  # digit separator 1'000
                out.append(c); i += 1; continue
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == '\\' else 1
            out.append(c + ' ' * (j - i - 1) + c); i = j + 1
        elif c == '#' and (i == 0 or text[i - 1] == '\n'):
            j = i
            while True:  # a preprocessor line, with its continuations
                k = text.find('\n', j)
                k = n if k < 0 else k
                if k > 0 and text[k - 1] == '\\':
                    j = k + 1
                    continue
                break
            out.append(re.sub(r'[^\n]', ' ', text[i:k])); i = k
        else:
            out.append(c); i += 1
    return ''.join(out)


def long_functions(path, limit):
    text = blank(open(path, encoding='utf-8').read())
    line_of = lambda pos: text.count('\n', 0, pos) + 1
    found = []
    # Scopes: 'ns' (namespace, class, extern "C") lets function bodies open inside it.
    stack = []
    i, n = 0, len(text)
    stmt_start = 0
    while i < n:
        c = text[i]
        if c == '{':
            head = text[stmt_start:i]
            words = head.strip()
            in_code = any(s != 'ns' for s in stack)
            if in_code:
                stack.append('code')
            elif re.search(r'\b(namespace|struct|class|union|enum)\b[^()]*$', words) or \
                    re.search(r'extern\s+"\s*"\s*$', words):
                stack.append('ns')
            elif re.search(r'(\)|\bconst|\bnoexcept|\boverride|\bfinal)\s*$', words) or \
                    re.search(r'\)\s*:\s*[\s\S]*\)\s*$', words):
                first = stmt_start + len(head) - len(head.lstrip())
                stack.append(('fn', line_of(first), words.split('(')[0].split()[-1:] or ['?']))
            else:
                stack.append('code')  # an initialiser, an array
            i += 1
            stmt_start = i
            continue
        if c == '}':
            top = stack.pop() if stack else 'ns'
            if isinstance(top, tuple):
                length = line_of(i) - top[1] + 1
                if length > limit:
                    found.append((top[1], length, top[2][0]))
            i += 1
            stmt_start = i
            continue
        if c == ';' and not any(s != 'ns' for s in stack):
            stmt_start = i + 1
        elif c == ';' or (c == ':' and False):
            pass
        i += 1
    return found


def main():
    limit = int(sys.argv[1])
    bad = 0
    for path in sys.argv[2:]:
        for line, length, name in long_functions(path, limit):
            print(f'{path}:{line}: {name}: {length} lines (limit {limit})')
            bad += 1
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main())
