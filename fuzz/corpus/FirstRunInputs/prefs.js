user_pref("mail.accountmanager.defaultaccount", "account1");
user_pref("mail.account.account1.identities", "id1");
user_pref("mail.identity.id1.useremail", "jan@example.cz");
user_pref("mail.identity.id1.reply_to", "odpov\u011Bdi@example.cz");
user_pref("mail.smtp.defaultserver", "smtp1");
user_pref("mail.smtpserver.smtp1.hostname", "smtp.example.cz");
