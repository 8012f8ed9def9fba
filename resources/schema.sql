-- The database of Tallowick. The program never creates it: `twk init-db` does.
CREATE TABLE [profile] (
    [profile_id] INTEGER PRIMARY KEY,
    [name] TEXT
);
CREATE TABLE [option] (
    [profile_id] INTEGER,
    [option] INTEGER,
    [value] TEXT,
    UNIQUE ([profile_id], [option])
);
CREATE TABLE [message] (
    [message_id] INTEGER PRIMARY KEY,
    [profile_id] INTEGER,
    [subject] TEXT,
    [msg] TEXT
);
CREATE TABLE [forum] (
    [forum_id] INTEGER PRIMARY KEY,
    [profile_id] INTEGER,
    [engine] TEXT,
    [main_url] TEXT,
    [title] TEXT,
    [flags] INTEGER,
    [forum_key] TEXT,
    [forum_title] TEXT,
    [login] TEXT,
    [pass] TEXT
);
CREATE TABLE [submit] (
    [submit_id] INTEGER PRIMARY KEY,
    [forum_id] INTEGER,
    [message_id] INTEGER,
    [stime] INTEGER,
    [result] INTEGER,
    [thread] TEXT,
    [err] TEXT
);
-- A forum's post of a message that went out and has no result stored yet: written, and
-- committed, before the new-topic form leaves, and removed with the result. A row left
-- behind means that the run ended after sending without learning what became of the post;
-- the next run looks for the topic before it sends again. [stime] is when the form went
-- out; [login] and [subject] are what it was sent with; [listed] holds the addresses of the
-- topics with that subject that the section listed just before, one a line.
CREATE TABLE IF NOT EXISTS [sending] (
    [forum_id] INTEGER,
    [message_id] INTEGER,
    [stime] INTEGER,
    [login] TEXT,
    [subject] TEXT,
    [listed] TEXT,
    UNIQUE ([forum_id], [message_id])
);
-- What became of a posted topic ([submit] keeps the post itself): the subject and body it
-- shows as far as the program knows ([ttime]: when they were recorded, 0 when not known),
-- the last update (time, result, the board's words), and the last reply check (time,
-- result, the board's words, the replies then and at the check before, the newest reply's
-- author, time and page).
CREATE TABLE IF NOT EXISTS [topic] (
    [forum_id] INTEGER,
    [message_id] INTEGER,
    [subject] TEXT,
    [body] TEXT,
    [ttime] INTEGER,
    [utime] INTEGER,
    [uresult] INTEGER,
    [uerr] TEXT,
    [rtime] INTEGER,
    [rresult] INTEGER,
    [rerr] TEXT,
    [replies] INTEGER,
    [replies_before] INTEGER,
    [newest_author] TEXT,
    [newest_time] INTEGER,
    [newest_url] TEXT,
    UNIQUE ([forum_id], [message_id])
);
-- The marker row: a file without it is not a Tallowick database.
INSERT INTO [option] ([profile_id], [option], [value]) VALUES (0, 0, '1');
