#!/usr/bin/env python3
"""Lists the longest functions of the C++ sources and the web pages' scripts.

    scripts/longest-functions.py [-n N] [--nested] [PATH ...]

PATH defaults to src/ and web/ of this checkout. A function's length runs
from the line that names it to the line of its closing brace. Lambdas and
nested functions count toward the function that holds them; --nested lists
the web pages' inner functions as well. npm's node_modules are left out.

The scan is lexical: comments, strings, character and regular-expression
literals are blanked out, then braces are matched and each block is judged
by the text that leads up to it. Needs nothing beyond Python 3.
"""

import argparse
import os
import re
import sys

CXX_SUFFIXES = ('.cpp', '.cc', '.cxx', '.h', '.hpp', '.mm')
JS_SUFFIXES = ('.js', '.mjs')
SKIP_DIRS = {'node_modules', '.git', 'build', 'build-asan'}


def blank(text):
    """Keeps newlines, turns every other character into a space."""
    return re.sub(r'[^\n]', ' ', text)


def comment_end(src, i):
    """Where a comment that starts at i ends; None when none starts there."""
    if src.startswith('//', i):
        j = src.find('\n', i)
        return len(src) if j < 0 else j
    if src.startswith('/*', i):
        j = src.find('*/', i + 2)
        return len(src) if j < 0 else j + 2
    return None


def quoted_end(src, i):
    """Where the quoted literal that starts at i ends (it ends its line)."""
    j = i + 1
    while j < len(src) and src[j] != src[i] and src[j] != '\n':
        j += 2 if src[j] == '\\' else 1
    return min(j + 1, len(src))


def strip_cxx(src):
    """Blanks comments, literals and preprocessor lines of C++ source."""
    out = []
    i, n = 0, len(src)
    line_start = True
    while i < n:
        c = src[i]
        if line_start and c in ' \t':
            out.append(c)
            i += 1
            continue
        if line_start and c == '#':
            # A directive runs to the end of the line, backslashes joining lines.
            j = i
            while j < n and src[j] != '\n':
                if src[j] == '\\' and j + 1 < n and src[j + 1] == '\n':
                    j += 2
                    continue
                j += 1
            out.append(blank(src[i:j]))
            i = j
            continue
        line_start = False
        j = comment_end(src, i)
        if j is not None:
            out.append(blank(src[i:j]))
            i = j
        elif c == 'R' and i + 1 < n and src[i + 1] == '"' and (i == 0 or not (src[i - 1].isalnum() or src[i - 1] == '_') or src[i - 1] in 'uL8'):
            m = re.match(r'R"([^()\\\s]{0,16})\(', src[i:])
            if not m:
                out.append(c)
                i += 1
                continue
            end = src.find(')' + m.group(1) + '"', i + m.end())
            j = n if end < 0 else end + len(m.group(1)) + 2
            out.append('""' + blank(src[i + 2:j]))
            i = j
        elif c in '"\'':
            # A digit separator (1'000) is no character literal.
            if c == "'" and src[i + 1:i + 2].isalnum() and re.search(r"\b[0-9][0-9A-Fa-fxXbB']*$", src[max(0, i - 40):i]):
                out.append(' ')
                i += 1
                continue
            j = quoted_end(src, i)
            out.append(c + blank(src[i + 1:j - 1]) + c if j - i >= 2 else blank(src[i:j]))
            i = j
        else:
            if c == '\n':
                line_start = True
            out.append(c)
            i += 1
    return ''.join(out)


REGEX_AFTER = set('(,=:[!&|?{};+-*%<>~^')
REGEX_KEYWORDS = {'return', 'typeof', 'case', 'do', 'else', 'in', 'of', 'new', 'delete', 'void', 'throw', 'instanceof', 'yield', 'await'}


def strip_js(src):
    """Blanks comments, strings, template text and regular expressions of JS."""
    out = []
    i, n = 0, len(src)
    templates = []  # brace depth inside each open ${ } of a template literal
    last = ''  # last significant character written
    last_word = ''

    def template_text(i):
        """Blanks template text from i; returns where code resumes."""
        j = i
        while j < n:
            if src[j] == '\\':
                j += 2
                continue
            if src[j] == '`':
                out.append(blank(src[i:j]) + '`')
                return j + 1, False
            if src.startswith('${', j):
                out.append(blank(src[i:j]) + '${')
                return j + 2, True
            j += 1
        out.append(blank(src[i:n]))
        return n, False

    while i < n:
        c = src[i]
        j = comment_end(src, i)
        if j is not None:
            out.append(blank(src[i:j]))
            i = j
        elif c == '/' and (last == '' or last in REGEX_AFTER or last_word in REGEX_KEYWORDS):
            j = i + 1
            in_class = False
            while j < n and src[j] != '\n':
                if src[j] == '\\':
                    j += 2
                    continue
                if src[j] == '[':
                    in_class = True
                elif src[j] == ']':
                    in_class = False
                elif src[j] == '/' and not in_class:
                    break
                j += 1
            j += 1
            while j < n and (src[j].isalpha()):
                j += 1
            out.append('/' + blank(src[i + 1:j - 1]) + '/' if j - i >= 2 else blank(src[i:j]))
            i = j
            last, last_word = '/', ''
        elif c in '"\'':
            j = quoted_end(src, i)
            out.append(c + blank(src[i + 1:j - 1]) + c if j - i >= 2 else blank(src[i:j]))
            i = j
            last, last_word = c, ''
        elif c == '`':
            out.append('`')
            i, opened = template_text(i + 1)
            if opened:
                templates.append(0)
            last, last_word = '`', ''
        elif c == '{' and templates:
            templates[-1] += 1
            out.append(c)
            i += 1
            last, last_word = c, ''
        elif c == '}' and templates and templates[-1] == 0:
            templates.pop()
            out.append('}')
            i, opened = template_text(i + 1)
            if opened:
                templates.append(0)
            last, last_word = '`', ''
        else:
            if c == '}' and templates:
                templates[-1] -= 1
            out.append(c)
            i += 1
            if c.isalnum() or c in '_$':
                m = re.match(r'[\w$]+', src[i - 1:])
                word = m.group(0)
                out.append(src[i:i - 1 + len(word)])
                i += len(word) - 1
                last, last_word = 'a', word
            elif not c.isspace():
                last, last_word = c, ''
    return ''.join(out)


CXX_SCOPE = re.compile(r'^(?:template\s*<.*>\s*)?(?:namespace\b|extern\s+"|(?:class|struct|union)\b)', re.S)
CXX_ENUM = re.compile(r'^(?:typedef\s+)?enum\b')
CXX_CONTROL = re.compile(r'^(?:if|else|for|while|switch|do|try|catch)\b')
JS_CONTROL = {'if', 'for', 'while', 'switch', 'catch', 'with', 'function'}


def top_level_equals(header):
    depth = 0
    for k, ch in enumerate(header):
        if ch in '([<':
            depth += 1
        elif ch in ')]>':
            depth = max(0, depth - 1)
        elif ch == '=' and depth == 0:
            prev = header[k - 1] if k else ''
            nxt = header[k + 1] if k + 1 < len(header) else ''
            if prev in '=!<>' or nxt == '=':
                continue
            if re.search(r'operator\s*[^\w\s]*$', header[:k]):
                continue
            return True
    return False


def cxx_name(header):
    m = re.search(r'((?:[\w~]+\s*(?:<[^()]*>)?\s*::\s*)*(?:operator\s*(?:\(\)|[^\s(]+)|~?\w+))\s*\(', header)
    return re.sub(r'\s+', '', m.group(1)) if m else '?'


def classify_cxx(header, in_function):
    """'function', 'scope', or None (any other block) for a brace's header."""
    h = ' '.join(header.split())
    if in_function:
        return None
    if CXX_SCOPE.match(h):
        return 'scope'
    if CXX_ENUM.match(h) or CXX_CONTROL.match(h):
        return None
    if '(' in h and not top_level_equals(h):
        return 'function'
    return None


def scan_cxx(path, text):
    code = strip_cxx(text)
    results = []
    # Each open block: (kind, start line, name, header start offset)
    stack = []
    header_start = 0
    depth_fn = 0
    i = 0
    n = len(code)
    while i < n:
        c = code[i]
        if c == ';':
            header_start = i + 1
        elif c == '{':
            header = code[header_start:i]
            h = ' '.join(header.split())
            # A brace that initialises a member in a constructor's list, or a
            # braced value in a header, belongs to the header.
            in_init_list = (depth_fn == 0 and re.search(r'\)\s*(?:noexcept\s*)?:(?!:)', h)
                            and re.search(r'[\w>]\s*$', h) and not re.search(r'\b(?:const|override|final|noexcept|mutable)\s*$', h))
            if in_init_list:
                close = match_brace(code, i)
                i = close + 1
                continue
            kind = classify_cxx(header, depth_fn > 0)
            start_line = code.count('\n', 0, header_start + len(header) - len(header.lstrip())) + 1
            stack.append((kind, start_line, cxx_name(h) if kind == 'function' else ''))
            if kind == 'function':
                depth_fn += 1
            header_start = i + 1
        elif c == '}':
            if stack:
                kind, start_line, name = stack.pop()
                if kind == 'function':
                    depth_fn -= 1
                    if depth_fn == 0:
                        end_line = code.count('\n', 0, i) + 1
                        results.append((end_line - start_line + 1, path, start_line, name))
            header_start = i + 1
        i += 1
    return results


def match_brace(code, i):
    depth = 0
    for j in range(i, len(code)):
        if code[j] == '{':
            depth += 1
        elif code[j] == '}':
            depth -= 1
            if depth == 0:
                return j
    return len(code) - 1


def js_function(header):
    """The function's name when a block's header opens a function, else None."""
    h = ' '.join(header.split())
    if h.endswith('=>'):
        m = re.search(r'([\w$.]+)\s*[:=]\s*(?:async\s*)?(?:\([^()]*\)|[\w$]+)\s*=>$', h)
        return m.group(1) if m else '(arrow)'
    if not h.endswith(')'):
        return None
    m = re.search(r'\bfunction\b\s*\*?\s*([\w$]*)\s*\([^()]*(?:\([^()]*\)[^()]*)*\)$', h)
    if m:
        if m.group(1):
            return m.group(1)
        m2 = re.search(r'([\w$.]+)\s*[:=]\s*(?:async\s+)?function\b', h)
        return m2.group(1) if m2 else '(function)'
    m = re.search(r'(?:^|[,\s])(?:static\s+|async\s+|get\s+|set\s+|\*\s*)*([\w$]+)\s*\([^()]*(?:\([^()]*\)[^()]*)*\)$', h)
    if m and m.group(1) not in JS_CONTROL:
        before = h[:m.start(1)].rstrip()
        # A method is named at the start of its header, after a comma or a
        # keyword; a call followed by a block is not a function.
        if before == '' or before.endswith(',') or re.search(r'\b(?:static|async|get|set)$', before):
            return m.group(1)
    return None


def scan_js(path, text, nested):
    code = strip_js(text)
    results = []
    stack = []
    header_start = 0
    depth_fn = 0
    for i, c in enumerate(code):
        if c == ';':
            header_start = i + 1
        elif c == '{':
            header = code[header_start:i]
            name = js_function(header)
            if not name and header.count('(') > header.count(')'):
                # A brace inside an open parenthesis (a destructured
                # parameter, an object handed to a call) is part of the
                # header around it.
                stack.append(('(', header_start))
                header_start = i + 1
                continue
            start_line = code.count('\n', 0, header_start + len(header) - len(header.lstrip())) + 1
            if name and name in ('(arrow)', '(function)'):
                # An anonymous function handed to a call starts where its
                # parameter list starts.
                m = re.search(r'(?:async\s*)?(?:function\b\s*)?\([^()]*\)\s*=?>?\s*$|(?:[\w$]+)\s*=>\s*$', header)
                if m:
                    start_line = code.count('\n', 0, header_start + m.start()) + 1
            stack.append((name, start_line))
            if name:
                depth_fn += 1
            header_start = i + 1
        elif c == '}':
            if stack:
                name, start_line = stack.pop()
                if name == '(':
                    header_start = start_line
                    continue
                if name:
                    depth_fn -= 1
                    if nested or depth_fn == 0:
                        end_line = code.count('\n', 0, i) + 1
                        results.append((end_line - start_line + 1, path, start_line, name))
            header_start = i + 1
    return results


def walk(paths):
    for root in paths:
        if os.path.isfile(root):
            yield root
            continue
        for dirpath, dirnames, filenames in os.walk(root):
            dirnames[:] = sorted(d for d in dirnames if d not in SKIP_DIRS)
            for f in sorted(filenames):
                if f.endswith(CXX_SUFFIXES + JS_SUFFIXES):
                    yield os.path.join(dirpath, f)


def main():
    here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description='Lists the longest functions in C++ and JS sources.')
    parser.add_argument('-n', type=int, default=10, help='how many to list (default 10)')
    parser.add_argument('--nested', action='store_true', help='list inner JS functions as well')
    parser.add_argument('paths', nargs='*', help='files or folders (default: src/ and web/)')
    args = parser.parse_args()
    paths = args.paths or [os.path.join(here, 'src'), os.path.join(here, 'web')]
    results = []
    for path in walk(paths):
        with open(path, encoding='utf-8', errors='replace') as f:
            text = f.read()
        shown = os.path.relpath(path)
        if path.endswith(CXX_SUFFIXES):
            results += scan_cxx(shown, text)
        else:
            results += scan_js(shown, text, args.nested)
    results.sort(key=lambda r: (-r[0], r[1], r[2]))
    for length, path, line, name in results[:args.n]:
        print(f'{length:5d}  {path}:{line}  {name}')
    return 0


if __name__ == '__main__':
    sys.exit(main())
