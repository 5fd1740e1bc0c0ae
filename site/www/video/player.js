// The replica video service's player script: /video/player?wid=N[&width=W].
// The demo site has no video files, so it draws the player's frame with the
// work's number where the video would play.
(function () {
  var script = document.currentScript;
  var query = new URL(script ? script.src : location.href).searchParams;
  var wid = query.get("wid") || "?";
  var width = Math.min(parseInt(query.get("width"), 10) || 640, 1280);
  var height = Math.round(width * 9 / 16);
  var box = document.createElement("div");
  box.style.cssText = "width:" + width + "px;height:" + height + "px;margin:24px auto;border-radius:6px;" +
      "background:linear-gradient(160deg,#3a0a13,#12070a);color:#fff;display:flex;flex-direction:column;" +
      "align-items:center;justify-content:center;font:16px sans-serif;box-shadow:0 4px 18px rgba(0,0,0,.4)";
  var play = document.createElement("div");
  play.style.cssText = "width:0;height:0;border-top:26px solid transparent;border-bottom:26px solid transparent;" +
      "border-left:44px solid #b3172f;margin-bottom:18px";
  var caption = document.createElement("div");
  caption.textContent = "Cantora MV · 作品 " + wid;
  box.appendChild(play);
  box.appendChild(caption);
  (script && script.parentNode ? script.parentNode : document.body).appendChild(box);
})();
