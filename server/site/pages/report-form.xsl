<?xml version="1.0" encoding="UTF-8"?>
<!-- The bug report form (kind "bug") and the feature request form (kind "feature"). -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="layout.xsl"/>
  <xsl:variable name="form" select="/reportform"/>
  <xsl:variable name="bug" select="$form/@kind = 'bug'"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title">
        <xsl:choose>
          <xsl:when test="$bug">Report a problem</xsl:when>
          <xsl:otherwise>Request a feature</xsl:otherwise>
        </xsl:choose>
      </xsl:with-param>
      <xsl:with-param name="section" select="'Support'"/>
      <xsl:with-param name="lead">
        <xsl:choose>
          <xsl:when test="$bug">Tell us what went wrong; we answer at the address you give.</xsl:when>
          <xsl:otherwise>Tell us what the component manager should do for you.</xsl:otherwise>
        </xsl:choose>
      </xsl:with-param>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <xsl:if test="$form/@problem">
      <p class="notice"><xsl:value-of select="$form/@problem"/></p>
    </xsl:if>
    <form class="report" method="post">
      <xsl:attribute name="action">
        <xsl:choose>
          <xsl:when test="$bug">/vantrel/ui/support.jsp</xsl:when>
          <xsl:otherwise>/vantrel/ui/request.jsp</xsl:otherwise>
        </xsl:choose>
      </xsl:attribute>
      <label for="email">Your e-mail address</label>
      <input type="email" id="email" name="email" value="{$form/email}"/>
      <xsl:if test="$bug">
        <input type="hidden" name="platform" value="{$form/platform}"/>
      </xsl:if>
      <label for="summary">In one line</label>
      <input type="text" id="summary" name="summary" value="{$form/summary}" required="required"/>
      <label for="details">
        <xsl:choose>
          <xsl:when test="$bug">What did you do, what did you expect, and what happened?</xsl:when>
          <xsl:otherwise>What would you like, and what would it help you do?</xsl:otherwise>
        </xsl:choose>
      </label>
      <textarea id="details" name="details"><xsl:value-of select="$form/details"/></textarea>
      <p><button type="submit">Send</button></p>
    </form>
  </xsl:template>
</xsl:stylesheet>
