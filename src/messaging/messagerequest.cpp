#include "messaging/messagerequest.h"

#include "store/encrypt.h"
#include "text/codepage.h"
#include "text/formencode.h"

#include <vector>

namespace {

// "akce=vzkaz" and "akce=vzkazklient" as ScrambleText leaves them.
constexpr char ChatActionScrambled[] = "\x63\x6e\x67\x6a\x43\x7d\x7a\x6c\x63\x7d\x82";
constexpr char ClientActionScrambled[] = "\x63\x6e\x67\x6a\x43\x7d\x7a\x6c\x63\x7d\x6f\x71\x6f\x6c\x6e\x75\x8a";

// The body with the places where it may be cut: never right after a "%" or its first digit.
class TBodyBuilder {
public:
    void AppendPlain(const QByteArray& bytes) {
        for (const char byte : bytes) {
            Push(byte, true);
        }
    }
    void AppendEncoded(const QByteArray& encoded) {
        int escapeLeft = 0;
        for (const char byte : encoded) {
            Push(byte, escapeLeft == 0);
            escapeLeft = byte == '%' && escapeLeft == 0 ? 2 : qMax(0, escapeLeft - 1);
        }
    }
    qsizetype Size() const { return Bytes.size(); }
    // The longest length up to `limit` that ends between whole escapes.
    qsizetype CutLength(qsizetype limit) const {
        qsizetype length = qMin(limit, Bytes.size());
        while (length > 0 && length < Bytes.size() && !CutBefore[size_t(length)]) {
            --length;
        }
        return length;
    }
    const QByteArray& Data() const { return Bytes; }

private:
    void Push(char byte, bool cutBefore) {
        Bytes.append(byte);
        CutBefore.push_back(cutBefore);
    }

    QByteArray Bytes;
    std::vector<bool> CutBefore;
};

// The Windows-1250 byte of one character; a character outside the code page (a pair of surrogates is one
// character) is "?".
QByteArray CharacterBytes(QStringView character) {
    return character.size() == 1 ? ToCp1250(character) : QByteArrayLiteral("?");
}

} // namespace

QByteArray ChatMessageAction() {
    return UnscrambleText(QByteArray(ChatActionScrambled));
}

QByteArray ClientMessageAction() {
    return UnscrambleText(QByteArray(ClientActionScrambled));
}

TMessageBody MessageRequestBody(const QByteArray& action, const QString& loginName, const QString& sessionKey,
                                const QString& addressee, const QString& message) {
    TBodyBuilder builder;
    builder.AppendPlain(action);
    builder.AppendPlain("&jmeno=");
    builder.AppendEncoded(FormEncode(loginName));
    builder.AppendPlain("&heslo=");
    builder.AppendPlain(ToCp1250(sessionKey));
    builder.AppendPlain("&komu=");
    builder.AppendPlain(ToCp1250(addressee));
    builder.AppendPlain("&text=");

    // Where each character of the message ends, in the body and in the message.
    std::vector<std::pair<qsizetype, qsizetype>> ends;
    for (qsizetype position = 0; position < message.size();) {
        const bool pair = message.at(position).isHighSurrogate() && position + 1 < message.size() &&
                          message.at(position + 1).isLowSurrogate();
        const qsizetype width = pair ? 2 : 1;
        builder.AppendEncoded(FormEncode(CharacterBytes(QStringView(message).mid(position, width))));
        position += width;
        ends.emplace_back(builder.Size(), position);
    }

    TMessageBody result;
    const qsizetype length = builder.CutLength(MessageBodyLimit);
    result.Body = builder.Data().left(length);
    for (const auto& [bodyEnd, textEnd] : ends) {
        if (bodyEnd > length) {
            break;
        }
        result.TextSent = textEnd;
    }
    return result;
}

TSendOutcome SendOutcomeOf(const QByteArray& reply) {
    if (reply == "zprava poslana") {
        return TSendOutcome::Sent;
    }
    if (reply == "Spatne heslo nebo prava") {
        return TSendOutcome::NoStar;
    }
    if (reply == "uzivatel neni online") {
        return TSendOutcome::UserNotFound;
    }
    return TSendOutcome::NoRights;
}

QString SendStatusText(TSendOutcome outcome) {
    switch (outcome) {
    case TSendOutcome::Sent:
        return QStringLiteral("Odeslano.");
    case TSendOutcome::NoStar:
        return QStringLiteral("Nemáte hvězdičku. Zpráva neodeslána.");
    case TSendOutcome::UserNotFound:
        return QStringLiteral("Uživatel nenalezen.");
    case TSendOutcome::NoRights:
        break;
    }
    return QStringLiteral("Nemáte oprávnění.");
}
