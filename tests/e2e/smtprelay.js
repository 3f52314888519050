// Real SMTP relays for the mail tests, on 127.0.0.1 (the npm package
// smtp-server): prints one JSON line with their ports, writes every message
// it takes to FOLDER/NNN.eml, and ends when its standard input closes.
//   plain    no authentication, offers 8BITMIME
//   seven    no authentication, no 8BITMIME
//   login    requires AUTH LOGIN (user USER, password PASSWORD)
//   cram     requires authentication, offers LOGIN and CRAM-MD5
//   hangup   the plain relay behind a link that drops the connection when the
//            client sends DATA, as a relay that goes away mid-dialogue
// Every relay answers RCPT TO:<nobody@...> with 550.
// usage: node smtprelay.js FOLDER
'use strict';
const fs = require('fs');
const net = require('net');
const path = require('path');
const { SMTPServer } = require('smtp-server');

const USER = 'orders';
const PASSWORD = 'Tr0ub4dor&3';
const folder = process.argv[2];
let count = 0;

function relay(options) {
    return new SMTPServer(Object.assign({
        name: 'relay.test',
        logger: false,
        disableReverseLookup: true,
        allowInsecureAuth: true,
        disabledCommands: ['STARTTLS'],
        authOptional: true,
        onAuth(auth, session, callback) {
            const ok = auth.username === USER &&
                (auth.method === 'CRAM-MD5' ? auth.validatePassword(PASSWORD) : auth.password === PASSWORD);
            callback(ok ? null : new Error('Invalid username or password'),
                ok ? { user: USER + ' ' + auth.method } : undefined);
        },
        onRcptTo(address, session, callback) {
            if (address.address.startsWith('nobody@')) {
                const err = new Error('No such user here');
                err.responseCode = 550;
                return callback(err);
            }
            callback();
        },
        onData(stream, session, callback) {
            const chunks = [];
            stream.on('data', (c) => chunks.push(c));
            stream.on('end', () => {
                count += 1;
                const name = path.join(folder, String(count).padStart(3, '0') + '.eml');
                fs.writeFileSync(name, Buffer.concat(chunks));
                fs.writeFileSync(name + '.json', JSON.stringify({
                    from: session.envelope.mailFrom.address,
                    body: session.envelope.mailFrom.args || {},
                    to: session.envelope.rcptTo.map((r) => r.address),
                    user: session.user || null,
                }));
                callback(null, 'queued as ' + count);
            });
        },
    }, options));
}

function listen(server) {
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server.server.address().port)));
}

// A link in front of a relay that drops both sides when the client sends DATA.
function hangup(target) {
    return net.createServer((client) => {
        const upstream = net.connect(target, '127.0.0.1');
        let seen = '';
        upstream.on('data', (d) => client.write(d));
        client.on('data', (d) => {
            seen += d.toString('latin1');
            if (/^DATA\r\n/m.test(seen)) {
                client.destroy();
                upstream.destroy();
            } else {
                upstream.write(d);
            }
        });
        client.on('error', () => upstream.destroy());
        upstream.on('error', () => client.destroy());
        client.on('close', () => upstream.destroy());
        upstream.on('close', () => client.destroy());
    });
}

(async () => {
    const servers = {
        plain: relay({}),
        seven: relay({ hide8BITMIME: true }),
        login: relay({ authMethods: ['LOGIN'], authOptional: false }),
        cram: relay({ authMethods: ['LOGIN', 'CRAM-MD5'], authOptional: false }),
    };
    const ports = {};
    for (const [name, server] of Object.entries(servers))
        ports[name] = await listen(server);
    const link = hangup(ports.plain);
    await new Promise((resolve) => link.listen(0, '127.0.0.1', resolve));
    ports.hangup = link.address().port;
    process.stdout.write(JSON.stringify(ports) + '\n');
    process.stdin.resume();
    process.stdin.on('end', () => process.exit(0));
    process.stdin.on('close', () => process.exit(0));
})();
