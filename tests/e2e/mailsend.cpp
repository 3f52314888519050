// Test helper: sends one mail with the program's mail class through a relay
// and prints the outcome: "sent" or "failed", then the error text on a line
// of its own. The body comes from a file, byte for byte; LANGUAGE is the
// language code of the program's texts (English without it).
// usage: mailsend HOST RECEIVER USER PASSWORD SUBJECT BODYFILE [LANGUAGE]
#include "brisel/app.h"
#include "brisel/email.h"
#include "brisel/halvo.h"
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 7) {
        fprintf(stderr, "usage: mailsend HOST RECEIVER USER PASSWORD SUBJECT BODYFILE [LANGUAGE]\n");
        return 2;
    }
    LogitSwitch("/NOASSERT");
    STRING body;
    if (!body.Load(argv[6], "rb")) {
        fprintf(stderr, "mailsend: cannot read %s\n", argv[6]);
        return 2;
    }
    if (argc > 7)
        APP::SetLanguage(atoi(argv[7]));
    EMAIL mail("tester@example.test", argv[2], argv[5], body.Str(), argv[1]);
    mail.UserName = argv[3];
    mail.Password = argv[4];
    STRING error;
    BOOL sent = mail.Send(&error);
    printf("%s\n%s\n", sent ? "sent" : "failed", error.Str() ? error.Str() : "");
    return sent ? 0 : 1;
}
