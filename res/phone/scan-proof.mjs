// The proof that a scan comes from a phone that knows the pairing secret, without the
// secret ever leaving the phone: the HMAC-SHA256, keyed with the secret, of the server's
// nonce, the kind and the code. A page on a plain http:// address has no WebCrypto, so
// the hash comes from @noble/hashes, bundled into this file when the program is built.
import { hmac } from '@noble/hashes/hmac';
import { sha256 } from '@noble/hashes/sha2';
import { bytesToHex, utf8ToBytes } from '@noble/hashes/utils';

export function scanProof(token, nonce, kind, code) {
  var message = nonce + ':' + kind + ':' + code;
  return bytesToHex(hmac(sha256, utf8ToBytes(token), utf8ToBytes(message)));
}
