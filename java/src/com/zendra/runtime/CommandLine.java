package com.zendra.runtime;

import java.util.ArrayList;
import java.util.List;

/**
 * Splits an argument text exactly as the launcher splits its own command line: blanks separate,
 * double and single quotes both quote, a backslash is an ordinary character and a quote cannot be
 * escaped.
 */
final class CommandLine {
    private CommandLine() {}

    /** The tokens of text, in order; an empty pair of quotes gives an empty token. */
    static List<String> split(String text) {
        List<String> tokens = new ArrayList<>();
        String p = text;
        while (!p.isEmpty()) {
            if (p.charAt(0) == ' ') {
                p = p.substring(1);
                continue;
            }
            int space = p.indexOf(' ');
            int dquote = p.indexOf('"');
            int squote = p.indexOf('\'');
            if (space >= 0 && before(space, dquote) && before(space, squote)) {
                tokens.add(p.substring(0, space));
                p = p.substring(space + 1);
            } else if (dquote >= 0 && before(dquote, squote)) {
                p = takeQuoted(p, dquote, tokens);
            } else if (squote >= 0) {
                p = takeQuoted(p, squote, tokens);
            } else {
                tokens.add(p);
                break;
            }
        }
        return tokens;
    }

    // Whether position a comes before b, where a missing b (-1) counts as the end of the text.
    private static boolean before(int a, int b) {
        return b < 0 || a < b;
    }

    // The quoted segment opened at k: the text before it joins the token; returns the rest.
    private static String takeQuoted(String p, int k, List<String> tokens) {
        char quote = p.charAt(k);
        int close = p.indexOf(quote, k + 1);
        if (close < 0) {
            tokens.add(p.substring(0, k) + p.substring(k + 1));
            return "";
        }
        tokens.add(p.substring(0, k) + p.substring(k + 1, close));
        String rest = p.substring(close + 1);
        return rest.startsWith(" ") ? rest.substring(1) : rest;
    }
}
