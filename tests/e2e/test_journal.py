"""Nothing typed is lost: text typed into pages survives a killed program through the recovery
journal, a normal end leaves no journal behind, and a save killed half-way leaves every page file
either old or new."""

import os
import signal

import harness
from harness import SessionTest, read_page, utf16, wait_until


def journal_folder(session):
    return session.path("Data", ".recovery")


def journals(session):
    """The journal files: {file name: text}."""
    folder = journal_folder(session)
    if not os.path.isdir(folder):
        return {}
    found = {}
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        text = data[2:].decode("utf-16-le", errors="replace") if data.startswith(b"\xff\xfe") else ""
        found[name] = text.split("\r\n", 4)[-1]
    return found


def write_journal(session, key, text):
    """A journal file as the program writes it, without the fingerprint of the page it started from."""
    os.makedirs(journal_folder(session), exist_ok=True)
    with open(os.path.join(journal_folder(session), key + ".journal"), "wb") as f:
        f.write(utf16(f"Jotvane journal 1\r\n{key}\r\n\r\n{len(text)}\r\n{text}"))


def log_text(session):
    with open(os.path.join(session.root, "jotvane.log"), "rb") as f:
        return f.read().decode("utf-8", errors="replace")


class Journal(SessionTest):
    TRAY = True

    def dismiss_notice(self, timeout=30):
        """Waits for the recovery notice and closes it with Enter."""
        s = self.session
        boxes = s.wait_window("^提示$", timeout=timeout)
        self.assertTrue(boxes, "a message tells what was recovered")
        # A busy program takes the focus late: the activation is asked for again.
        self.assertTrue(wait_until(lambda: s.activate(boxes[0]), timeout, interval=0.5))
        s.key("Return")
        self.assertTrue(s.wait_hidden("^提示$"))

    def hide(self, window):
        self.assertTrue(self.session.hide_with_escape(window), "Esc hides the window")

    def test_text_typed_before_a_kill_comes_back(self):
        s = self.session
        names = s.seed_pages([("First", "one"), ("Second", "two")])
        process, window = self.start_shown()
        s.type_text("typed A ")
        s.key("alt+2")
        s.type_text("typed B ")
        # Within a few seconds both texts are in the journal, while the page files are unchanged.
        self.assertTrue(wait_until(lambda: sorted(journals(s).values()) == ["typed A one\n", "typed B two\n"], 30),
                        journals(s))
        process.send_signal(signal.SIGKILL)
        process.wait(timeout=30)
        self.assertEqual([p.text for p in s.pages()], ["one\r\n", "two\r\n"])

        process = s.start()
        self.assertTrue(s.wait_running(process))
        self.dismiss_notice()
        log = log_text(s)
        self.assertIn("“First”", log)
        self.assertIn("“Second”", log)
        # Marked modified: hiding writes them.
        self.hide(s.wait_window()[0])
        pages = {page.name: page for page in s.pages()}
        self.assertEqual(pages[names[0]].text, "typed A one\r\n")
        self.assertEqual(pages[names[1]].text, "typed B two\r\n")
        # The journal's own thread removes the files a moment after the pages are written.
        self.assertTrue(wait_until(lambda: journals(s) == {}, 30),
                        f"no journal remains once the pages are written: {journals(s)}")
        self.assertEqual(s.stop(process), 0)

    def test_a_normal_end_leaves_no_journal(self):
        s = self.session
        process, window = self.start_shown()
        s.type_text("kept")
        self.assertTrue(wait_until(lambda: list(journals(s).values()) == ["kept"], 30), journals(s))
        self.assertEqual(s.stop(process), 0)
        self.assertEqual(journals(s), {})
        self.assertEqual(s.pages()[0].text, "kept\r\n")

        # The next start has nothing to recover.
        process, window = self.start_shown()
        self.assertEqual(s.windows("^提示$"), [])
        self.assertEqual(s.stop(process), 0)
        self.assertNotIn("“默认页”", log_text(s))

    def test_a_kill_during_a_save_of_1000_pages_leaves_each_file_old_or_new(self):
        s = self.session
        count = 1000
        filler = "x" * 60 + "\n"
        old = [f"old {i}\n" + filler * 40 for i in range(count)]
        new = [f"new {i}\n" + filler * 40 for i in range(count)]
        names = s.seed_pages([(f"Page {i}", old[i].rstrip("\n")) for i in range(count)])
        for name, text in zip(names, new):
            write_journal(s, name, text)

        process = s.start()
        self.assertTrue(s.wait_running(process, timeout=60))
        self.dismiss_notice(timeout=30)
        window = s.wait_window()[0]
        self.assertTrue(s.activate(window))
        folder = s.path("Data")

        def some_written():
            return any(read_page(os.path.join(folder, name)).text.startswith("new") for name in names[::50])

        s.key("Escape")  # hiding writes all 1000 pages
        self.assertTrue(wait_until(some_written, 30, interval=0.005))
        process.send_signal(signal.SIGKILL)
        process.wait(timeout=30)

        written = 0
        for i, name in enumerate(names):
            page = read_page(os.path.join(folder, name))
            self.assertEqual((page.key, page.title), (str(i), f"Page {i}"), name)
            expected = {old[i].replace("\n", "\r\n"), new[i].replace("\n", "\r\n")}
            self.assertIn(page.text, expected, f"{name} is neither the old nor the new page")
            written += page.text.startswith("new")
        self.assertGreater(written, 0)
        print(f"{written} of {count} pages were written before the kill", flush=True)
        self.assertEqual([n for n in os.listdir(folder) if not n.endswith(".txt") and n != ".recovery"], [],
                         "no temporary file is left where the pages are")

        # What was not written yet is still in the journal: the next start brings it back.
        process = s.start()
        self.assertTrue(s.wait_running(process, timeout=60))
        if written < count:
            self.dismiss_notice(timeout=30)
        self.assertEqual(s.stop(process, timeout=60), 0)
        for i, name in enumerate(names):
            self.assertEqual(read_page(os.path.join(folder, name)).text, new[i].replace("\n", "\r\n"), name)
        self.assertEqual(journals(s), {})


if __name__ == "__main__":
    harness.main()
