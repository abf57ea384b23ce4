"""The search over all pages, as a user meets it: among 1,000 pages a word on three of them is
found as it is typed, Enter shows the second match selected in its page, and F3 goes on to the
third while the search window stays open."""

import os

import harness
from harness import SessionTest, wait_until

SEARCH_WINDOW = "^在所有页面中查找"
WORD = "zanzibar"
# The pages holding the word, and the line of each that holds it (0-based, within the text).
HOLDERS = {120: 2, 480: 0, 910: 4}


def page_text(index):
    lines = [f"line {n} of page {index}, about nothing much" for n in range(5)]
    if index in HOLDERS:
        line = HOLDERS[index]
        lines[line] = f"before {WORD} after, on page {index}"
    return "\n".join(lines)


class SearchAllPages(SessionTest):
    def test_a_word_among_a_thousand_pages(self):
        s = self.session
        names = s.seed_pages([(f"Page {i}", page_text(i)) for i in range(1000)])
        process, window = self.start_shown()

        self.assertTrue(s.key_until(window, ["ctrl+shift+f"], lambda: s.windows(SEARCH_WINDOW)),
                        "Ctrl+Shift+F opens the search window")
        search = s.windows(SEARCH_WINDOW)[0]
        self.assertTrue(wait_until(lambda: s.activate(search), 30))
        s.type_text(WORD)
        # The window's title says how many matches the search found once it has ended.
        self.assertTrue(wait_until(lambda: s.window_name(search).endswith(f"“{WORD}”：3 处匹配，3 个页面"), 30),
                        s.window_name(search))
        shot = os.environ.get("JV_SEARCH_SCREENSHOT")
        if shot:
            s.screenshot(shot)
        s.key("Down")
        s.key("Return")

        # The second match's page shows with the word selected: typing over it replaces it.
        self.assertTrue(wait_until(lambda: s.activate(window), 30))
        s.type_text("SECOND")
        self.assertTrue(wait_until(lambda: s.activate(search), 30), "the search window stays open")
        s.key("F3")
        self.assertTrue(wait_until(lambda: s.activate(window), 30))
        s.type_text("THIRD")
        self.assertTrue(s.hide_with_escape(window))

        by_name = {page.name: page for page in s.pages()}
        expected = {480: "SECOND", 910: "THIRD"}
        for index in range(1000):
            text = page_text(index)
            if index in expected:
                text = text.replace(WORD, expected[index])
            wanted = "".join(line + "\r\n" for line in text.split("\n"))
            self.assertEqual(by_name[names[index]].text, wanted, f"page {index}")
        self.assertEqual([page.title for page in s.pages()], [f"Page {i}" for i in range(1000)],
                         "searching leaves the pages in their order")
        self.assertEqual(s.stop(process), 0)


if __name__ == "__main__":
    harness.main()
